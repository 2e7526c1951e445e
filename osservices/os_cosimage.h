// os_cosimage.h
// COsImage: turns the raw data of one received image into an image file.
//
// The raw data lives in a file named by an image report, an XML text:
//   <reportimage>
//     <compressionmode>none | group4 | jpeg</compressionmode>
//     <imagefilename>the raw data file</imagefilename>
//     <imageformat>bw | gray_8 | gray_16 | rgb_24 | rgb_48</imageformat>
//     <imagewidth>width in 1/1200 inch</imagewidth>
//     <imageheight>height in 1/1200 inch</imageheight>
//     <imagesize>bytes of raw data</imagesize>
//     <imageresolutionx>dots per inch, then "_dpi"</imageresolutionx>
//     (optional, raw rows only: <imagepixelwidth>, <imagepixelheight>,
//     the exact pixels, which the data must hold exactly)
//     (optional: <imagepixelflavor>chocolate | vanilla</imagepixelflavor>,
//     what a 0 sample or bit of gray, bitonal or Group 4 data is: black,
//     the default, or white)
//   </reportimage>
// A resolution of 0 or below means the width and height are pixels.
//
// What is written:
//   - JFIF: the JPEG data as it came (it must begin with a JPEG marker).
//   - TIFF: one baseline TIFF in the byte order of this machine, made from
//     raw rows (bitonal, gray and RGB of 8 or 16 bits a sample, 16-bit
//     samples in the machine's order, as memory transfers deliver them; no
//     padding) or from Group 4 data (compression 4), gray and bitonal
//     samples as the report's flavor says (PhotometricInterpretation 1 for
//     0 black, 0 for 0 white); TIFF data is copied.  Whatever the size of the image or of its rows, the
//     conversion works in buffers of at most 1 MiB (and the strip
//     directory).
//   - BMP: only BMP data as it came.
// With OS_IMAGEFILEFORMAT_BYNAME the kind comes from the name's extension
// (.tif/.tiff, .jpg/.jpeg/.jfif, .bmp); a name without one of these takes
// the kind from the data (JPEG, "BM", a TIFF header; anything else is raw
// rows for a TIFF) and gets the matching extension appended.
//
// The native image parsers measure an image that a Data Source handed over
// in memory, from its own structure, without reading past what it declares
// (or past a_u64Limit).
#ifndef OS_COSIMAGE_H
#define OS_COSIMAGE_H

#include <cstddef>
#include <cstdint>

// The most data a TIFF holds: an image's rows beyond it cannot become one.
#define OS_IMAGE_TIFFDATAMAX 0xFFFF0000ull

// The file kind asked of Create.
enum EOSIMAGEFILEFORMAT
{
    OS_IMAGEFILEFORMAT_BYNAME = 1,  // from the name's extension, else from the data
    OS_IMAGEFILEFORMAT_JFIF   = 4   // JFIF, under the name as given
};

// Pages per file: one.
enum EOSIMAGEMULTIPAGE
{
    OS_IMAGEMULTIPAGE_SINGLE = 1
};

// What a block of image data is.
enum EOSIMAGEKIND
{
    OS_IMAGEKIND_RAW  = 0,  // none of the below: raw rows or Group 4 data
    OS_IMAGEKIND_TIFF = 1,
    OS_IMAGEKIND_JFIF = 2,
    OS_IMAGEKIND_BMP  = 3
};

// A device-independent bitmap as measured by COsImage::DibMeasure.
struct OsImageDib
{
    uint32_t biSize;
    int32_t  biWidth;
    int32_t  biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t  biXPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
    uint64_t u64DataOffset;     // of the pixels, from the header's start
    uint64_t u64DataSize;       // biSizeImage, or stride x rows when that is 0
    uint64_t u64Size;           // header, palette and pixels
};

// What a file of image data claims against what it holds, as measured by
// COsImage::FileExtent.
struct OsImageExtent
{
    EOSIMAGEKIND eosimagekind;  // the kind its first bytes name
    uint64_t u64Size;           // the bytes the file holds
    uint64_t u64Claimed;        // the bytes its own structure reaches to; 0 when
                                // that cannot be told (no JPEG end marker, a
                                // malformed header)
};

class COsFile;
class COsImageImpl;

class COsImage
{
public:
    COsImage();
    ~COsImage();

    // Writes the image file for the raw data that the report names.
    // a_szFileName: the file to write (see the extension rules above).  The
    // flags and a_iReserved are reserved (callers pass false, false, false,
    // true and 0).  A large raw file may itself become the TIFF (it is then
    // gone under its own name).  0 on success; OS_STS_BAD_ARGUMENT for a missing name or
    // report; OS_STS_FILE_NOT_FOUND when the raw data cannot be read;
    // OS_STS_FAIL for data that cannot become the asked file;
    // OS_STS_IO_ERROR when writing failed (no partial file is left).
    EOSSTS Create(const char* a_szFileName, const char* a_szReport, bool a_blReserved1, bool a_blReserved2,
               EOSIMAGEFILEFORMAT a_eosimagefileformat, EOSIMAGEMULTIPAGE a_eosimagemultipage, bool a_blReserved3,
               bool a_blReserved4, int a_iReserved);

    // The file the last successful Create wrote; the reason the last failed
    // one gave.  Empty texts at first.
    const char* GetFileName() const;
    const char* GetError() const;

    // The kind of a block of data (its first bytes).
    static EOSIMAGEKIND Sniff(const void* a_pvData, uint64_t a_u64Size);

    // The kind a file name's extension claims (from its last dot after the
    // last separator, case ignored: .tif/.tiff, .jpg/.jpeg/.jfif, .bmp);
    // OS_IMAGEKIND_RAW when it claims none.
    static EOSIMAGEKIND KindOfName(const char* a_szName);
    // The extension of a kind (".tif", ".jpg", ".bmp"; ".raw" for raw data)
    // and its name ("TIFF", "JPEG", "BMP"; "raw").
    static const char* ExtensionOfKind(EOSIMAGEKIND a_eosimagekind);
    static const char* TextOfKind(EOSIMAGEKIND a_eosimagekind);

    // The bytes a little-endian TIFF occupies (header, first directory, its
    // out-of-line values and strips or tiles).  0, or OS_STS_FAIL for a
    // malformed or unsupported TIFF, or one reaching past a_u64Limit.
    static EOSSTS TiffExtent(const void* a_pvData, uint64_t a_u64Limit, uint64_t* a_pu64Size);

    // The fields and extent of a bitmap beginning with its information
    // header.  0, or OS_STS_FAIL for a malformed one or one reaching past
    // a_u64Limit.
    static EOSSTS DibMeasure(const void* a_pvData, uint64_t a_u64Limit, OsImageDib* a_posimagedib);

    // Measures the image in an open file by its own structure (the file's
    // position moves): a TIFF of either byte order by its first directory
    // and strips or tiles, a BMP by its file header's size and pixel offset
    // and its bitmap's header, a JPEG by its segments and entropy-coded
    // data up to its end marker; the file is read in pieces, never whole.
    // 0 when the image lies whole in the file (or the file holds none of
    // these kinds); OS_STS_FAIL when it claims more than the file holds or
    // cannot be read.
    static EOSSTS FileExtent(COsFile& a_osfile, OsImageExtent* a_posimageextent);

    // Makes a gray or bitonal TIFF file say min-is-white (true) or
    // min-is-black: its first directory's one-value
    // PhotometricInterpretation of 0 or 1 is set in place.  0; OS_STS_FAIL
    // for a file without such a tag (another kind, colour, Group 4 data);
    // OS_STS_IO_ERROR when it cannot be read or written.
    static EOSSTS SetMinIsWhite(const char* a_szFile, bool a_blMinIsWhite);

private:
    COsImage(const COsImage&) = delete;
    COsImage& operator=(const COsImage&) = delete;
    COsImageImpl* m_posimageimpl;
};

#endif // OS_COSIMAGE_H
