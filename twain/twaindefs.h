// twaindefs.h
//
// The TWAIN definitions of this build, shared by the test program, the
// stand-in Data Source Manager and the simulated scanner.
//
// Layout of this build (it is an interface: the program, the DSM and every
// Data Source must agree on it):
//   - structures are packed on 2 bytes;
//   - TW_INT32 and TW_UINT32 are 8 bytes wide (a long on 64-bit Linux);
//   - TW_HANDLE, TW_MEMREF and TW_UINTPTR are 8-byte pointers;
//   - text fields are counted with their terminator and padded to an even size.
//
// Because of the 2-byte packing many 8-byte fields sit at addresses that are
// not multiples of 8 (TW_IDENTITY.SupportedGroups at 54, the values of
// TW_RANGE, the items of a TW_ENUMERATION at 26, ...). Reading or writing such
// a field directly through the structure (s.Field = x) is fine: the compiler
// knows the packing. NEVER take the address of such a field, or of an item in
// an item list, and dereference it as a TW_UINT32* / TW_INT32* / pointer: that
// is a misaligned access. Use memcpy, or the helpers at the end of this file
// (TwGetU32, TwSetU32, ...).
//
// The constants are the TWAIN 2.x standard's published values, plus the custom
// values this program speaks with its Data Sources (data group 0x1000, data
// argument types from 0x8001, messages from 0x8002, item type 0x8001, ...).
//
// The capability ids and values are in twaindefs_caps.h, which this header
// includes. This header needs only the C++ standard library.

#ifndef DRAVO_TWAINDEFS_H
#define DRAVO_TWAINDEFS_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// ---------------------------------------------------------------------------
// Scalar types
// ---------------------------------------------------------------------------
typedef char                TW_STR32[34];
typedef char                TW_STR64[66];
typedef char                TW_STR128[130];
typedef char                TW_STR255[256];
typedef char                TW_STR1024[1026];
typedef wchar_t             TW_UNI512[512];

typedef void*               TW_HANDLE;
typedef void*               TW_MEMREF;
typedef std::uintptr_t      TW_UINTPTR;

typedef signed char         TW_INT8;
typedef short               TW_INT16;
typedef long                TW_INT32;      // 8 bytes in this build
typedef unsigned char       TW_UINT8;
typedef unsigned short      TW_UINT16;
typedef unsigned long       TW_UINT32;     // 8 bytes in this build
typedef unsigned short      TW_BOOL;

typedef TW_UINT8*           pTW_UINT8;
typedef TW_UINT16*          pTW_UINT16;
typedef TW_UINT32*          pTW_UINT32;
typedef TW_INT16*           pTW_INT16;
typedef TW_INT32*           pTW_INT32;
typedef TW_BOOL*            pTW_BOOL;
typedef TW_HANDLE*          pTW_HANDLE;
typedef TW_MEMREF*          pTW_MEMREF;

static_assert(sizeof(TW_INT8) == 1 && sizeof(TW_UINT8) == 1, "8-bit types");
static_assert(sizeof(TW_INT16) == 2 && sizeof(TW_UINT16) == 2 && sizeof(TW_BOOL) == 2, "16-bit types");
static_assert(sizeof(TW_INT32) == 8 && sizeof(TW_UINT32) == 8, "TW_INT32/TW_UINT32 are 8 bytes in this build");
static_assert(sizeof(TW_HANDLE) == 8 && sizeof(TW_MEMREF) == 8 && sizeof(TW_UINTPTR) == 8, "pointers are 8 bytes");
static_assert(sizeof(TW_STR32) == 34 && sizeof(TW_STR64) == 66 && sizeof(TW_STR128) == 130, "text sizes");
static_assert(sizeof(TW_STR255) == 256 && sizeof(TW_STR1024) == 1026, "text sizes");

// ---------------------------------------------------------------------------
// Structures (2-byte packing)
// ---------------------------------------------------------------------------
#pragma pack(push, 2)

typedef struct {
    TW_INT16   Whole;
    TW_UINT16  Frac;
} TW_FIX32, *pTW_FIX32;

typedef struct {
    TW_FIX32   Left;
    TW_FIX32   Top;
    TW_FIX32   Right;
    TW_FIX32   Bottom;
} TW_FRAME, *pTW_FRAME;

// The item of the custom item type TWTY_FRAMEANGLE: a frame and an 8-byte angle.
typedef struct {
    TW_FRAME   Frame;
    TW_INT32   Angle;
} TW_FRAMEANGLE, *pTW_FRAMEANGLE;

typedef struct {
    TW_FIX32   StartIn;
    TW_FIX32   BreakIn;
    TW_FIX32   EndIn;
    TW_FIX32   StartOut;
    TW_FIX32   BreakOut;
    TW_FIX32   EndOut;
    TW_FIX32   Gamma;
    TW_FIX32   SampleCount;
} TW_DECODEFUNCTION, *pTW_DECODEFUNCTION;

typedef struct {
    TW_UINT8   Index;
    TW_UINT8   Channel1;
    TW_UINT8   Channel2;
    TW_UINT8   Channel3;
} TW_ELEMENT8, *pTW_ELEMENT8;

typedef struct {
    TW_UINT32  Flags;
    TW_UINT32  Length;
    TW_MEMREF  TheMem;
} TW_MEMORY, *pTW_MEMORY;

typedef struct {
    TW_DECODEFUNCTION Decode[3];
    TW_FIX32          Mix[3][3];
} TW_TRANSFORMSTAGE, *pTW_TRANSFORMSTAGE;

typedef struct {
    TW_UINT16  MajorNum;
    TW_UINT16  MinorNum;
    TW_UINT16  Language;
    TW_UINT16  Country;
    TW_STR32   Info;
} TW_VERSION, *pTW_VERSION;

typedef struct {
    TW_UINT32  Id;
    TW_VERSION Version;
    TW_UINT16  ProtocolMajor;
    TW_UINT16  ProtocolMinor;
    TW_UINT32  SupportedGroups;
    TW_STR32   Manufacturer;
    TW_STR32   ProductFamily;
    TW_STR32   ProductName;
} TW_IDENTITY, *pTW_IDENTITY;

// Containers
typedef struct {
    TW_UINT16  ItemType;
    TW_UINT32  NumItems;
    TW_UINT8   ItemList[1];
} TW_ARRAY, *pTW_ARRAY;

typedef struct {
    TW_UINT16  ItemType;
    TW_UINT32  NumItems;
    TW_UINT32  CurrentIndex;
    TW_UINT32  DefaultIndex;
    TW_UINT8   ItemList[1];
} TW_ENUMERATION, *pTW_ENUMERATION;

typedef struct {
    TW_UINT16  ItemType;
    TW_UINT32  Item;
} TW_ONEVALUE, *pTW_ONEVALUE;

typedef struct {
    TW_UINT16  ItemType;
    TW_UINT32  MinValue;
    TW_UINT32  MaxValue;
    TW_UINT32  StepSize;
    TW_UINT32  DefaultValue;
    TW_UINT32  CurrentValue;
} TW_RANGE, *pTW_RANGE;

typedef struct {
    TW_UINT16  Cap;
    TW_UINT16  ConType;
    TW_HANDLE  hContainer;
} TW_CAPABILITY, *pTW_CAPABILITY;

// Triplet data
typedef struct {
    TW_MEMREF  pEvent;
    TW_UINT16  TWMessage;
} TW_EVENT, *pTW_EVENT;

typedef struct {
    TW_UINT16  ConditionCode;
    union {
        TW_UINT16 Data;
        TW_UINT16 Reserved;
    };
} TW_STATUS, *pTW_STATUS;

typedef struct {
    TW_STATUS  Status;
    TW_UINT32  Size;
    TW_HANDLE  UTF8string;
} TW_STATUSUTF8, *pTW_STATUSUTF8;

typedef struct {
    TW_BOOL    ShowUI;
    TW_BOOL    ModalUI;
    TW_HANDLE  hParent;
} TW_USERINTERFACE, *pTW_USERINTERFACE;

typedef struct {
    TW_UINT16  Count;
    union {
        TW_UINT32 EOJ;
        TW_UINT32 Reserved;
    };
} TW_PENDINGXFERS, *pTW_PENDINGXFERS;

typedef struct {
    TW_UINT32  MinBufSize;
    TW_UINT32  MaxBufSize;
    TW_UINT32  Preferred;
} TW_SETUPMEMXFER, *pTW_SETUPMEMXFER;

typedef struct {
    TW_STR255  FileName;
    TW_UINT16  Format;
    TW_INT16   VRefNum;
} TW_SETUPFILEXFER, *pTW_SETUPFILEXFER;

typedef struct {
    TW_FIX32   XResolution;
    TW_FIX32   YResolution;
    TW_INT32   ImageWidth;
    TW_INT32   ImageLength;
    TW_INT16   SamplesPerPixel;
    TW_INT16   BitsPerSample[8];
    TW_INT16   BitsPerPixel;
    TW_BOOL    Planar;
    TW_INT16   PixelType;
    TW_UINT16  Compression;
} TW_IMAGEINFO, *pTW_IMAGEINFO;

typedef struct {
    TW_FRAME   Frame;
    TW_UINT32  DocumentNumber;
    TW_UINT32  PageNumber;
    TW_UINT32  FrameNumber;
} TW_IMAGELAYOUT, *pTW_IMAGELAYOUT;

typedef struct {
    TW_UINT16  Compression;
    TW_UINT32  BytesPerRow;
    TW_UINT32  Columns;
    TW_UINT32  Rows;
    TW_UINT32  XOffset;
    TW_UINT32  YOffset;
    TW_UINT32  BytesWritten;
    TW_MEMORY  Memory;
} TW_IMAGEMEMXFER, *pTW_IMAGEMEMXFER;

typedef struct {
    TW_UINT16  ColorSpace;
    TW_UINT32  SubSampling;
    TW_UINT16  NumComponents;
    TW_UINT16  RestartFrequency;
    TW_UINT16  QuantMap[4];
    TW_MEMORY  QuantTable[4];
    TW_UINT16  HuffmanMap[4];
    TW_MEMORY  HuffmanDC[2];
    TW_MEMORY  HuffmanAC[2];
} TW_JPEGCOMPRESSION, *pTW_JPEGCOMPRESSION;

typedef struct {
    TW_UINT16   NumColors;
    TW_UINT16   PaletteType;
    TW_ELEMENT8 Colors[256];
} TW_PALETTE8, *pTW_PALETTE8;

typedef struct {
    TW_ELEMENT8 Response[1];
} TW_GRAYRESPONSE, *pTW_GRAYRESPONSE;

typedef struct {
    TW_ELEMENT8 Response[1];
} TW_RGBRESPONSE, *pTW_RGBRESPONSE;

typedef struct {
    TW_FIX32   X;
    TW_FIX32   Y;
    TW_FIX32   Z;
} TW_CIEPOINT, *pTW_CIEPOINT;

typedef struct {
    TW_UINT16         ColorSpace;
    TW_INT16          LowEndian;
    TW_INT16          DeviceDependent;
    TW_INT32          VersionNumber;
    TW_TRANSFORMSTAGE StageABC;
    TW_TRANSFORMSTAGE StageLMN;
    TW_CIEPOINT       WhitePoint;
    TW_CIEPOINT       BlackPoint;
    TW_CIEPOINT       WhitePaper;
    TW_CIEPOINT       BlackInk;
    TW_FIX32          Samples[1];
} TW_CIECOLOR, *pTW_CIECOLOR;

typedef struct {
    TW_UINT32  InfoLength;
    TW_HANDLE  hData;
} TW_CUSTOMDSDATA, *pTW_CUSTOMDSDATA;

typedef struct {
    TW_UINT32  Event;
    TW_STR255  DeviceName;
    TW_UINT32  BatteryMinutes;
    TW_INT16   BatteryPercentage;
    TW_INT32   PowerSupply;
    TW_FIX32   XResolution;
    TW_FIX32   YResolution;
    TW_UINT32  FlashUsed2;
    TW_UINT32  AutomaticCapture;
    TW_UINT32  TimeBeforeFirstCapture;
    TW_UINT32  TimeBetweenCaptures;
} TW_DEVICEEVENT, *pTW_DEVICEEVENT;

typedef struct {
    TW_UINT16  InfoID;
    TW_UINT16  ItemType;
    TW_UINT16  NumItems;
    union {
        TW_UINT16 ReturnCode;
        TW_UINT16 CondCode;
    };
    TW_UINTPTR Item;
} TW_INFO, *pTW_INFO;

typedef struct {
    TW_UINT32  NumInfos;
    TW_INFO    Info[1];
} TW_EXTIMAGEINFO, *pTW_EXTIMAGEINFO;

typedef struct {
    TW_STR255  InputName;
    TW_STR255  OutputName;
    TW_MEMREF  Context;
    union {
        int     Recursive;
        TW_BOOL Subdirectories;
    };
    union {
        TW_INT32  FileType;
        TW_UINT32 FileSystemType;
    };
    TW_UINT32  Size;
    TW_STR32   CreateTimeDate;
    TW_STR32   ModifiedTimeDate;
    TW_UINT32  FreeSpace;
    TW_INT32   NewImageSize;
    TW_UINT32  NumberOfFiles;
    TW_UINT32  NumberOfSnippets;
    TW_UINT32  DeviceGroupMask;
    TW_INT8    Reserved[508];
} TW_FILESYSTEM, *pTW_FILESYSTEM;

typedef struct {
    TW_STR255  Name;
    TW_UINT32  Reserved;
} TW_AUDIOINFO, *pTW_AUDIOINFO;

typedef struct {
    TW_MEMREF  pCommand;
    TW_UINT32  CommandBytes;
    TW_INT32   Direction;
    TW_MEMREF  pData;
    TW_UINT32  DataBytes;
    TW_UINT32  DataBytesXfered;
} TW_PASSTHRU, *pTW_PASSTHRU;

typedef struct {
    TW_UINT32  SizeOf;
    TW_UINT32  ImageCount;
    TW_UINT32  SheetCount;
} TW_METRICS, *pTW_METRICS;

typedef struct {
    TW_UINT32  SizeOf;
    TW_UINT16  CommunicationManager;
    TW_HANDLE  Send;
    TW_UINT32  SendSize;
    TW_HANDLE  Receive;
    TW_UINT32  ReceiveSize;
} TW_TWAINDIRECT, *pTW_TWAINDIRECT;

typedef struct {
    TW_IDENTITY identity;
    TW_STR255   dsPath;
} TW_TWUNKIDENTITY, *pTW_TWUNKIDENTITY;

// Callbacks and entry points
typedef TW_UINT16 (*DSMENTRYPROC)(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest,
                                  TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                  TW_MEMREF pData);
typedef TW_UINT16 (*DSENTRYPROC)(pTW_IDENTITY pOrigin,
                                 TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                 TW_MEMREF pData);
typedef TW_UINT16 (*TWAINCALLBACKPROC)(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest,
                                       TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                       TW_MEMREF pData);
typedef TW_HANDLE (*DSM_MEMALLOCATE)(TW_UINT32 size);
typedef void      (*DSM_MEMFREE)(TW_HANDLE handle);
typedef TW_MEMREF (*DSM_MEMLOCK)(TW_HANDLE handle);
typedef void      (*DSM_MEMUNLOCK)(TW_HANDLE handle);

typedef struct {
    TW_MEMREF  CallBackProc;
    TW_UINT32  RefCon;
    TW_UINT16  Message;
} TW_CALLBACK, *pTW_CALLBACK;

typedef struct {
    TW_MEMREF  CallBackProc;
    TW_UINTPTR RefCon;
    TW_UINT16  Message;
} TW_CALLBACK2, *pTW_CALLBACK2;

typedef struct {
    TW_UINT32       Size;           // the application writes sizeof(TW_ENTRYPOINT), 48
    DSMENTRYPROC    DSM_Entry;
    DSM_MEMALLOCATE DSM_MemAllocate;
    DSM_MEMFREE     DSM_MemFree;
    DSM_MEMLOCK     DSM_MemLock;
    DSM_MEMUNLOCK   DSM_MemUnlock;
} TW_ENTRYPOINT, *pTW_ENTRYPOINT;

#pragma pack(pop)

// ---------------------------------------------------------------------------
// Layout checks: every size and offset this build fixes.
// ---------------------------------------------------------------------------
static_assert(sizeof(TW_FIX32) == 4, "TW_FIX32");
static_assert(offsetof(TW_FIX32, Whole) == 0 && offsetof(TW_FIX32, Frac) == 2, "TW_FIX32 fields");
static_assert(sizeof(TW_FRAME) == 16, "TW_FRAME");
static_assert(offsetof(TW_FRAME, Left) == 0 && offsetof(TW_FRAME, Top) == 4, "TW_FRAME fields");
static_assert(offsetof(TW_FRAME, Right) == 8 && offsetof(TW_FRAME, Bottom) == 12, "TW_FRAME fields");
static_assert(sizeof(TW_FRAMEANGLE) == 24, "TW_FRAMEANGLE");
static_assert(offsetof(TW_FRAMEANGLE, Frame) == 0 && offsetof(TW_FRAMEANGLE, Angle) == 16, "TW_FRAMEANGLE fields");
static_assert(sizeof(TW_DECODEFUNCTION) == 32, "TW_DECODEFUNCTION");
static_assert(sizeof(TW_ELEMENT8) == 4, "TW_ELEMENT8");
static_assert(sizeof(TW_MEMORY) == 24, "TW_MEMORY");
static_assert(offsetof(TW_MEMORY, Length) == 8 && offsetof(TW_MEMORY, TheMem) == 16, "TW_MEMORY fields");
static_assert(sizeof(TW_TRANSFORMSTAGE) == 132, "TW_TRANSFORMSTAGE");

static_assert(sizeof(TW_VERSION) == 42, "TW_VERSION");
static_assert(offsetof(TW_VERSION, MajorNum) == 0 && offsetof(TW_VERSION, MinorNum) == 2, "TW_VERSION fields");
static_assert(offsetof(TW_VERSION, Language) == 4 && offsetof(TW_VERSION, Country) == 6, "TW_VERSION fields");
static_assert(offsetof(TW_VERSION, Info) == 8, "TW_VERSION fields");

static_assert(sizeof(TW_IDENTITY) == 164, "TW_IDENTITY");
static_assert(offsetof(TW_IDENTITY, Id) == 0, "TW_IDENTITY.Id");
static_assert(offsetof(TW_IDENTITY, Version) == 8, "TW_IDENTITY.Version");
static_assert(offsetof(TW_IDENTITY, ProtocolMajor) == 50, "TW_IDENTITY.ProtocolMajor");
static_assert(offsetof(TW_IDENTITY, ProtocolMinor) == 52, "TW_IDENTITY.ProtocolMinor");
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 54, "TW_IDENTITY.SupportedGroups");
static_assert(offsetof(TW_IDENTITY, Manufacturer) == 62, "TW_IDENTITY.Manufacturer");
static_assert(offsetof(TW_IDENTITY, ProductFamily) == 96, "TW_IDENTITY.ProductFamily");
static_assert(offsetof(TW_IDENTITY, ProductName) == 130, "TW_IDENTITY.ProductName");

static_assert(sizeof(TW_CAPABILITY) == 12, "TW_CAPABILITY");
static_assert(offsetof(TW_CAPABILITY, ConType) == 2 && offsetof(TW_CAPABILITY, hContainer) == 4, "TW_CAPABILITY fields");
static_assert(sizeof(TW_ONEVALUE) == 10 && offsetof(TW_ONEVALUE, Item) == 2, "TW_ONEVALUE");
static_assert(sizeof(TW_RANGE) == 42, "TW_RANGE");
static_assert(offsetof(TW_RANGE, MinValue) == 2 && offsetof(TW_RANGE, MaxValue) == 10, "TW_RANGE fields");
static_assert(offsetof(TW_RANGE, StepSize) == 18 && offsetof(TW_RANGE, DefaultValue) == 26, "TW_RANGE fields");
static_assert(offsetof(TW_RANGE, CurrentValue) == 34, "TW_RANGE fields");
static_assert(offsetof(TW_ENUMERATION, NumItems) == 2 && offsetof(TW_ENUMERATION, CurrentIndex) == 10, "TW_ENUMERATION fields");
static_assert(offsetof(TW_ENUMERATION, DefaultIndex) == 18 && offsetof(TW_ENUMERATION, ItemList) == 26, "TW_ENUMERATION item list at 26");
static_assert(offsetof(TW_ARRAY, NumItems) == 2 && offsetof(TW_ARRAY, ItemList) == 10, "TW_ARRAY item list at 10");

static_assert(sizeof(TW_EVENT) == 10, "TW_EVENT");
static_assert(sizeof(TW_STATUS) == 4 && offsetof(TW_STATUS, Data) == 2, "TW_STATUS");
static_assert(sizeof(TW_STATUSUTF8) == 20, "TW_STATUSUTF8");
static_assert(sizeof(TW_USERINTERFACE) == 12, "TW_USERINTERFACE");
static_assert(offsetof(TW_USERINTERFACE, ModalUI) == 2 && offsetof(TW_USERINTERFACE, hParent) == 4, "TW_USERINTERFACE fields");
static_assert(sizeof(TW_PENDINGXFERS) == 10 && offsetof(TW_PENDINGXFERS, EOJ) == 2, "TW_PENDINGXFERS");
static_assert(sizeof(TW_SETUPMEMXFER) == 24, "TW_SETUPMEMXFER");
static_assert(sizeof(TW_SETUPFILEXFER) == 260, "TW_SETUPFILEXFER");
static_assert(offsetof(TW_SETUPFILEXFER, Format) == 256 && offsetof(TW_SETUPFILEXFER, VRefNum) == 258, "TW_SETUPFILEXFER fields");
static_assert(sizeof(TW_IMAGEINFO) == 50, "TW_IMAGEINFO");
static_assert(offsetof(TW_IMAGEINFO, ImageWidth) == 8 && offsetof(TW_IMAGEINFO, ImageLength) == 16, "TW_IMAGEINFO fields");
static_assert(offsetof(TW_IMAGEINFO, SamplesPerPixel) == 24 && offsetof(TW_IMAGEINFO, BitsPerSample) == 26, "TW_IMAGEINFO fields");
static_assert(offsetof(TW_IMAGEINFO, BitsPerPixel) == 42 && offsetof(TW_IMAGEINFO, Planar) == 44, "TW_IMAGEINFO fields");
static_assert(offsetof(TW_IMAGEINFO, PixelType) == 46 && offsetof(TW_IMAGEINFO, Compression) == 48, "TW_IMAGEINFO fields");
static_assert(sizeof(TW_IMAGELAYOUT) == 40, "TW_IMAGELAYOUT");
static_assert(offsetof(TW_IMAGELAYOUT, DocumentNumber) == 16 && offsetof(TW_IMAGELAYOUT, PageNumber) == 24, "TW_IMAGELAYOUT fields");
static_assert(offsetof(TW_IMAGELAYOUT, FrameNumber) == 32, "TW_IMAGELAYOUT fields");
static_assert(sizeof(TW_IMAGEMEMXFER) == 74 && offsetof(TW_IMAGEMEMXFER, Memory) == 50, "TW_IMAGEMEMXFER");
static_assert(sizeof(TW_JPEGCOMPRESSION) == 222, "TW_JPEGCOMPRESSION");
static_assert(sizeof(TW_PALETTE8) == 1028, "TW_PALETTE8");
static_assert(sizeof(TW_CIEPOINT) == 12, "TW_CIEPOINT");
static_assert(sizeof(TW_CIECOLOR) == 330, "TW_CIECOLOR");
static_assert(sizeof(TW_CUSTOMDSDATA) == 16 && offsetof(TW_CUSTOMDSDATA, hData) == 8, "TW_CUSTOMDSDATA");

static_assert(offsetof(TW_DEVICEEVENT, Event) == 0, "TW_DEVICEEVENT.Event");
static_assert(offsetof(TW_DEVICEEVENT, DeviceName) == 8, "TW_DEVICEEVENT.DeviceName");
static_assert(offsetof(TW_DEVICEEVENT, BatteryMinutes) == 264, "TW_DEVICEEVENT.BatteryMinutes");
static_assert(offsetof(TW_DEVICEEVENT, BatteryPercentage) == 272, "TW_DEVICEEVENT.BatteryPercentage");
static_assert(offsetof(TW_DEVICEEVENT, PowerSupply) == 274, "TW_DEVICEEVENT.PowerSupply");
static_assert(offsetof(TW_DEVICEEVENT, XResolution) == 282, "TW_DEVICEEVENT.XResolution");
static_assert(offsetof(TW_DEVICEEVENT, YResolution) == 286, "TW_DEVICEEVENT.YResolution");
static_assert(offsetof(TW_DEVICEEVENT, FlashUsed2) == 290, "TW_DEVICEEVENT.FlashUsed2");
static_assert(offsetof(TW_DEVICEEVENT, AutomaticCapture) == 298, "TW_DEVICEEVENT.AutomaticCapture");
static_assert(offsetof(TW_DEVICEEVENT, TimeBeforeFirstCapture) == 306, "TW_DEVICEEVENT.TimeBeforeFirstCapture");
static_assert(offsetof(TW_DEVICEEVENT, TimeBetweenCaptures) == 314, "TW_DEVICEEVENT.TimeBetweenCaptures");
static_assert(sizeof(TW_DEVICEEVENT) == 322, "TW_DEVICEEVENT");

static_assert(sizeof(TW_INFO) == 16, "TW_INFO");
static_assert(offsetof(TW_INFO, ItemType) == 2 && offsetof(TW_INFO, NumItems) == 4, "TW_INFO fields");
static_assert(offsetof(TW_INFO, ReturnCode) == 6 && offsetof(TW_INFO, Item) == 8, "TW_INFO fields");
static_assert(offsetof(TW_EXTIMAGEINFO, Info) == 8 && sizeof(TW_EXTIMAGEINFO) == 24, "TW_EXTIMAGEINFO");

static_assert(sizeof(TW_FILESYSTEM) == 1156, "TW_FILESYSTEM");
static_assert(offsetof(TW_FILESYSTEM, OutputName) == 256 && offsetof(TW_FILESYSTEM, Context) == 512, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, Recursive) == 520 && offsetof(TW_FILESYSTEM, FileType) == 524, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, Size) == 532 && offsetof(TW_FILESYSTEM, CreateTimeDate) == 540, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, ModifiedTimeDate) == 574 && offsetof(TW_FILESYSTEM, FreeSpace) == 608, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, NewImageSize) == 616 && offsetof(TW_FILESYSTEM, NumberOfFiles) == 624, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, NumberOfSnippets) == 632 && offsetof(TW_FILESYSTEM, DeviceGroupMask) == 640, "TW_FILESYSTEM fields");
static_assert(offsetof(TW_FILESYSTEM, Reserved) == 648, "TW_FILESYSTEM fields");
static_assert(sizeof(TW_AUDIOINFO) == 264, "TW_AUDIOINFO");

static_assert(sizeof(TW_PASSTHRU) == 48, "TW_PASSTHRU");
static_assert(offsetof(TW_PASSTHRU, CommandBytes) == 8 && offsetof(TW_PASSTHRU, Direction) == 16, "TW_PASSTHRU fields");
static_assert(offsetof(TW_PASSTHRU, pData) == 24 && offsetof(TW_PASSTHRU, DataBytes) == 32, "TW_PASSTHRU fields");
static_assert(offsetof(TW_PASSTHRU, DataBytesXfered) == 40, "TW_PASSTHRU fields");
static_assert(sizeof(TW_METRICS) == 24, "TW_METRICS");
static_assert(sizeof(TW_TWAINDIRECT) == 42, "TW_TWAINDIRECT");
static_assert(offsetof(TW_TWAINDIRECT, CommunicationManager) == 8 && offsetof(TW_TWAINDIRECT, Send) == 10, "TW_TWAINDIRECT fields");
static_assert(offsetof(TW_TWAINDIRECT, SendSize) == 18 && offsetof(TW_TWAINDIRECT, Receive) == 26, "TW_TWAINDIRECT fields");
static_assert(offsetof(TW_TWAINDIRECT, ReceiveSize) == 34, "TW_TWAINDIRECT fields");
static_assert(sizeof(TW_TWUNKIDENTITY) == 420 && offsetof(TW_TWUNKIDENTITY, dsPath) == 164, "TW_TWUNKIDENTITY");

static_assert(sizeof(TW_CALLBACK) == 18, "TW_CALLBACK");
static_assert(offsetof(TW_CALLBACK, RefCon) == 8 && offsetof(TW_CALLBACK, Message) == 16, "TW_CALLBACK fields");
static_assert(sizeof(TW_CALLBACK2) == 18, "TW_CALLBACK2");
static_assert(sizeof(TW_ENTRYPOINT) == 48, "TW_ENTRYPOINT");
static_assert(offsetof(TW_ENTRYPOINT, DSM_Entry) == 8 && offsetof(TW_ENTRYPOINT, DSM_MemUnlock) == 40, "TW_ENTRYPOINT fields");

// ---------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------
extern "C" {
// The one entry of the Data Source Manager library.
TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG,
                    TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
// The one entry of a Data Source library.
TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                   TW_UINT16 MSG, TW_MEMREF pData);
}

// ---------------------------------------------------------------------------
// Version of the protocol this header describes
// ---------------------------------------------------------------------------
#define TWON_PROTOCOLMINOR   4
#define TWON_PROTOCOLMAJOR   2

// ---------------------------------------------------------------------------
// Data groups and identity flags
// ---------------------------------------------------------------------------
#define DG_CONTROL           0x0001UL
#define DG_IMAGE             0x0002UL
#define DG_AUDIO             0x0004UL
#define DG_CUSTOM            0x1000UL    // this program's custom data group
#define DF_DSM2              0x10000000UL
#define DF_APP2              0x20000000UL
#define DF_DS2               0x40000000UL
#define DG_MASK              0xFFFFUL

// ---------------------------------------------------------------------------
// Data argument types
// ---------------------------------------------------------------------------
#define DAT_NULL             0x0000
#define DAT_CUSTOMBASE       0x8000
#define DAT_CAPABILITY       0x0001
#define DAT_EVENT            0x0002
#define DAT_IDENTITY         0x0003
#define DAT_PARENT           0x0004
#define DAT_PENDINGXFERS     0x0005
#define DAT_SETUPMEMXFER     0x0006
#define DAT_SETUPFILEXFER    0x0007
#define DAT_STATUS           0x0008
#define DAT_USERINTERFACE    0x0009
#define DAT_XFERGROUP        0x000a
#define DAT_TWUNKIDENTITY    0x000b
#define DAT_CUSTOMDSDATA     0x000c
#define DAT_DEVICEEVENT      0x000d
#define DAT_FILESYSTEM       0x000e
#define DAT_PASSTHRU         0x000f
#define DAT_CALLBACK         0x0010
#define DAT_STATUSUTF8       0x0011
#define DAT_CALLBACK2        0x0012
#define DAT_METRICS          0x0013
#define DAT_TWAINDIRECT      0x0014
#define DAT_IMAGEINFO        0x0101
#define DAT_IMAGELAYOUT      0x0102
#define DAT_IMAGEMEMXFER     0x0103
#define DAT_IMAGENATIVEXFER  0x0104
#define DAT_IMAGEFILEXFER    0x0105
#define DAT_CIECOLOR         0x0106
#define DAT_GRAYRESPONSE     0x0107
#define DAT_RGBRESPONSE      0x0108
#define DAT_JPEGCOMPRESSION  0x0109
#define DAT_PALETTE8         0x010a
#define DAT_EXTIMAGEINFO     0x010b
#define DAT_FILTER           0x010c
#define DAT_AUDIOFILEXFER    0x0201
#define DAT_AUDIOINFO        0x0202
#define DAT_AUDIONATIVEXFER  0x0203
#define DAT_ICCPROFILE       0x0401
#define DAT_IMAGEMEMFILEXFER 0x0402
#define DAT_ENTRYPOINT       0x0403

// Custom data argument types of this program's Data Sources.
#define DAT_STATUSRAW        0x8001
#define DAT_DEVICEINFO       0x8005
#define DAT_AUTOCOLORLEARN   0x8006
#define DAT_PROFILES         0x8007
#define DAT_WINDOW           0x8008
#define DAT_CUSTOMDSDATAGROUP 0x8009
#define DAT_ECDO             0x800A
#define DAT_LOG              0x800C
#define DAT_UTC              0x800D
#define DAT_OCPBUTTONS       0x800E
#define DAT_CONSUMABLEMETERS 0x8010
#define DAT_CALIBRATE        0x9001      // sent with DG_CUSTOM
#define DAT_FIRMWAREDOWNLOAD 0x9003      // sent with DG_CUSTOM
#define DAT_METERS           0x9006      // sent with DG_CUSTOM
#define DAT_OVERRIDE         0x900D      // sent with DG_CONTROL

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------
#define MSG_NULL             0x0000
#define MSG_CUSTOMBASE       0x8000
#define MSG_GET              0x0001
#define MSG_GETCURRENT       0x0002
#define MSG_GETDEFAULT       0x0003
#define MSG_GETFIRST         0x0004
#define MSG_GETNEXT          0x0005
#define MSG_SET              0x0006
#define MSG_RESET            0x0007
#define MSG_QUERYSUPPORT     0x0008
#define MSG_GETHELP          0x0009
#define MSG_GETLABEL         0x000a
#define MSG_GETLABELENUM     0x000b
#define MSG_SETCONSTRAINT    0x000c
#define MSG_XFERREADY        0x0101
#define MSG_CLOSEDSREQ       0x0102
#define MSG_CLOSEDSOK        0x0103
#define MSG_DEVICEEVENT      0x0104
#define MSG_CHECKSTATUS      0x0201
#define MSG_OPENDSM          0x0301
#define MSG_CLOSEDSM         0x0302
#define MSG_OPENDS           0x0401
#define MSG_CLOSEDS          0x0402
#define MSG_USERSELECT       0x0403
#define MSG_DISABLEDS        0x0501
#define MSG_ENABLEDS         0x0502
#define MSG_ENABLEDSUIONLY   0x0503
#define MSG_PROCESSEVENT     0x0601
#define MSG_ENDXFER          0x0701
#define MSG_STOPFEEDER       0x0702
#define MSG_CHANGEDIRECTORY  0x0801
#define MSG_CREATEDIRECTORY  0x0802
#define MSG_DELETE           0x0803
#define MSG_FORMATMEDIA      0x0804
#define MSG_GETCLOSE         0x0805
#define MSG_GETFIRSTFILE     0x0806
#define MSG_GETINFO          0x0807
#define MSG_GETNEXTFILE      0x0808
#define MSG_RENAME           0x0809
#define MSG_COPY             0x080A
#define MSG_AUTOMATICCAPTUREDIRECTORY 0x080B
#define MSG_PASSTHRU         0x0901
#define MSG_REGISTER_CALLBACK 0x0902
#define MSG_INVOKE_CALLBACK  0x0903
#define MSG_RESETALL         0x0A01
#define MSG_SETTASK          0x0B01

// Custom messages of this program's Data Sources.
#define MSG_SETUPDS                   0x8002
#define MSG_GETSPECIAL                0x8005
#define MSG_ENABLEINFO                0x8007
#define MSG_SAVEPROFILE               0x8008
#define MSG_DELETEPROFILE             0x8009
#define MSG_ENABLEDSADVANCED          0x800A
#define MSG_ENABLEDSPREVIEW           0x800B
#define MSG_ENABLEDSUIONLYADVANCED    0x800C
#define MSG_ENABLESETUPIAPRINTER      0x800D
#define MSG_ENABLESETUPNOIAPRINTER    0x800E
#define MSG_ENABLEDSPREVIEWTOAPPLICATION 0x8010
#define MSG_ADDWINDOW                 0x8011
#define MSG_DELETEWINDOW              0x8012
#define MSG_ENABLESETUPNOIAPRINTEROCP 0x8013
#define MSG_PROFILECREATE             0x8015
#define MSG_PROFILEDELETE             0x8016
#define MSG_PROFILESAVE               0x8017
#define MSG_PROFILERENAME             0x8018
#define MSG_PROFILERESTORE            0x8019
#define MSG_PROFILEEXPORT             0x801A
#define MSG_PROFILEIMPORT             0x801B
#define MSG_PROFILESET                0x801C
#define MSG_GETINQUIRY                0x801D
#define MSG_ENDXFERSPECIAL            0x801E
#define MSG_ENABLESETUPSORTBARCODE    0x801F

// ---------------------------------------------------------------------------
// Return codes and condition codes
// ---------------------------------------------------------------------------
#define TWRC_CUSTOMBASE         0x8000
#define TWRC_SUCCESS            0
#define TWRC_FAILURE            1
#define TWRC_CHECKSTATUS        2
#define TWRC_CANCEL             3
#define TWRC_DSEVENT            4
#define TWRC_NOTDSEVENT         5
#define TWRC_XFERDONE           6
#define TWRC_ENDOFLIST          7
#define TWRC_INFONOTSUPPORTED   8
#define TWRC_DATANOTAVAILABLE   9
#define TWRC_BUSY               10
#define TWRC_SCANNERLOCKED      11
// The busy code of older Data Sources, from the custom range (the symbol
// table names it TWRC_BUSY as well).
#define TWRC_BUSY_CUSTOM        0x8001

#define TWCC_CUSTOMBASE         0x8000
#define TWCC_SUCCESS            0
#define TWCC_BUMMER             1
#define TWCC_LOWMEMORY          2
#define TWCC_NODS               3
#define TWCC_MAXCONNECTIONS     4
#define TWCC_OPERATIONERROR     5
#define TWCC_BADCAP             6
#define TWCC_BADPROTOCOL        9
#define TWCC_BADVALUE           10
#define TWCC_SEQERROR           11
#define TWCC_BADDEST            12
#define TWCC_CAPUNSUPPORTED     13
#define TWCC_CAPBADOPERATION    14
#define TWCC_CAPSEQERROR        15
#define TWCC_DENIED             16
#define TWCC_FILEEXISTS         17
#define TWCC_FILENOTFOUND       18
#define TWCC_NOTEMPTY           19
#define TWCC_PAPERJAM           20
#define TWCC_PAPERDOUBLEFEED    21
#define TWCC_FILEWRITEERROR     22
#define TWCC_CHECKDEVICEONLINE  23
#define TWCC_INTERLOCK          24
#define TWCC_DAMAGEDCORNER      25
#define TWCC_FOCUSERROR         26
#define TWCC_DOCTOOLIGHT        27
#define TWCC_DOCTOODARK         28
#define TWCC_NOMEDIA            29

// ---------------------------------------------------------------------------
// Item types and container types
// ---------------------------------------------------------------------------
#define TWTY_INT8        0x0000
#define TWTY_INT16       0x0001
#define TWTY_INT32       0x0002
#define TWTY_UINT8       0x0003
#define TWTY_UINT16      0x0004
#define TWTY_UINT32      0x0005
#define TWTY_BOOL        0x0006
#define TWTY_FIX32       0x0007
#define TWTY_FRAME       0x0008
#define TWTY_STR32       0x0009
#define TWTY_STR64       0x000a
#define TWTY_STR128      0x000b
#define TWTY_STR255      0x000c
#define TWTY_STR1024     0x000d
#define TWTY_UNI512      0x000e
#define TWTY_HANDLE      0x000f
#define TWTY_FRAMEANGLE  0x8001          // custom: TW_FRAMEANGLE items

#define TWON_ARRAY       3
#define TWON_ENUMERATION 4
#define TWON_ONEVALUE    5
#define TWON_RANGE       6
#define TWON_ICONID      962
#define TWON_DSMID       461
#define TWON_DSMCODEID   63
#define TWON_DONTCARE8   0xff
#define TWON_DONTCARE16  0xffff
#define TWON_DONTCARE32  0xffffffffUL

// Memory flags of TW_MEMORY
#define TWMF_APPOWNS     0x0001
#define TWMF_DSMOWNS     0x0002
#define TWMF_DSOWNS      0x0004
#define TWMF_POINTER     0x0008
#define TWMF_HANDLE      0x0010

// Palette types
#define TWPA_RGB         0
#define TWPA_GRAY        1
#define TWPA_CMY         2

// Query-support flags of MSG_QUERYSUPPORT
#define TWQC_GET            0x0001
#define TWQC_SET            0x0002
#define TWQC_GETDEFAULT     0x0004
#define TWQC_GETCURRENT     0x0008
#define TWQC_RESET          0x0010
#define TWQC_SETCONSTRAINT  0x0020
#define TWQC_CONSTRAINABLE  0x0040
#define TWQC_GETHELP        0x0100
#define TWQC_GETLABEL       0x0200
#define TWQC_GETLABELENUM   0x0400
// Flags this program's Data Sources add to the query-support answer.
#define TWQC_MACHINE        0x1000
#define TWQC_BITONAL        0x2000
#define TWQC_COLOR          0x4000
#define TWQC_WINDOW         0x8000

// Pass-through directions
#define TWDR_GET  1
#define TWDR_SET  2

// ---------------------------------------------------------------------------
// Device events (CAP_DEVICEEVENT, DAT_DEVICEEVENT)
// ---------------------------------------------------------------------------
#define TWDE_CUSTOMEVENTS           0x8000
#define TWDE_CHECKAUTOMATICCAPTURE  0
#define TWDE_CHECKBATTERY           1
#define TWDE_CHECKDEVICEONLINE      2
#define TWDE_CHECKFLASH             3
#define TWDE_CHECKPOWERSUPPLY       4
#define TWDE_CHECKRESOLUTION        5
#define TWDE_DEVICEADDED            6
#define TWDE_DEVICEOFFLINE          7
#define TWDE_DEVICEREADY            8
#define TWDE_DEVICEREMOVED          9
#define TWDE_IMAGECAPTURED          10
#define TWDE_IMAGEDELETED           11
#define TWDE_PAPERDOUBLEFEED        12
#define TWDE_PAPERJAM               13
#define TWDE_LAMPFAILURE            14
#define TWDE_POWERSAVE              15
#define TWDE_POWERSAVENOTIFY        16
#define TWDE_LAMPWARMUP             0x8002   // custom: lamp warming up

// Capabilities, extended image information and capability values.
#include "twaindefs_caps.h"

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

// Width in bytes of one item of the given TWTY_ type, the stride of an item
// list; 0 for a type this build does not know (the caller decides what an
// unknown type means for it).
inline std::size_t TwItemSize(unsigned int a_uItemType)
{
    switch (a_uItemType)
    {
        case TWTY_INT8:       return 1;
        case TWTY_INT16:      return 2;
        case TWTY_INT32:      return 8;
        case TWTY_UINT8:      return 1;
        case TWTY_UINT16:     return 2;
        case TWTY_UINT32:     return 8;
        case TWTY_BOOL:       return 2;
        case TWTY_FIX32:      return 4;
        case TWTY_FRAME:      return 16;
        case TWTY_STR32:      return 34;
        case TWTY_STR64:      return 66;
        case TWTY_STR128:     return 130;
        case TWTY_STR255:     return 256;
        case TWTY_STR1024:    return 1026;
        case TWTY_UNI512:     return sizeof(TW_UNI512);
        case TWTY_HANDLE:     return sizeof(TW_HANDLE);
        case TWTY_FRAMEANGLE: return 24;
        default:              return 0;
    }
}

// Unaligned reads and writes of the fields and items of TWAIN structures.
inline TW_UINT32 TwGetU32(const void* a_pv)
{
    TW_UINT32 u = 0;
    std::memcpy(&u, a_pv, sizeof(u));
    return u;
}
inline void TwSetU32(void* a_pv, TW_UINT32 a_u)
{
    std::memcpy(a_pv, &a_u, sizeof(a_u));
}
inline TW_INT32 TwGetI32(const void* a_pv)
{
    TW_INT32 i = 0;
    std::memcpy(&i, a_pv, sizeof(i));
    return i;
}
inline void TwSetI32(void* a_pv, TW_INT32 a_i)
{
    std::memcpy(a_pv, &a_i, sizeof(a_i));
}
inline TW_UINT16 TwGetU16(const void* a_pv)
{
    TW_UINT16 u = 0;
    std::memcpy(&u, a_pv, sizeof(u));
    return u;
}
inline void TwSetU16(void* a_pv, TW_UINT16 a_u)
{
    std::memcpy(a_pv, &a_u, sizeof(a_u));
}
inline void* TwGetPtr(const void* a_pv)
{
    void* p = nullptr;
    std::memcpy(&p, a_pv, sizeof(p));
    return p;
}
inline void TwSetPtr(void* a_pv, const void* a_p)
{
    std::memcpy(a_pv, &a_p, sizeof(a_p));
}
inline TW_FIX32 TwGetFix32(const void* a_pv)
{
    TW_FIX32 fix;
    std::memcpy(&fix, a_pv, sizeof(fix));
    return fix;
}
inline void TwSetFix32(void* a_pv, TW_FIX32 a_fix)
{
    std::memcpy(a_pv, &a_fix, sizeof(a_fix));
}

// TW_FIX32 shown as a number: Whole + Frac / 65536.
inline double TwFix32ToDouble(TW_FIX32 a_fix)
{
    return static_cast<double>(a_fix.Whole) + static_cast<double>(a_fix.Frac) / 65536.0;
}

// TW_FIX32 made from a number so that TwFix32ToDouble reads it back (to the
// lower 1/65536): Whole is the floor and Frac, unsigned, adds to it, as the
// TWAIN standard's own conversion has it (-1.5 gives Whole -2, Frac 0x8000).
// Values outside the 16-bit range are clamped; NaN gives 0.
inline TW_FIX32 TwDoubleToFix32(double a_d)
{
    TW_FIX32 fix;
    if (!(a_d == a_d))   // NaN
    {
        a_d = 0.0;
    }
    if (a_d > 32767.99998)
    {
        a_d = 32767.99998;
    }
    if (a_d < -32768.0)
    {
        a_d = -32768.0;
    }
    double dWhole = std::floor(a_d);
    long lFrac = static_cast<long>((a_d - dWhole) * 65536.0);
    fix.Whole = static_cast<TW_INT16>(static_cast<long>(dWhole));
    fix.Frac = static_cast<TW_UINT16>(lFrac & 0xFFFF);
    return fix;
}

// The TW_FIX32 packed into the 32-bit item of a one-value container or a range
// (Whole in the low 16 bits, Frac in the high 16 bits, as memory holds them).
inline TW_UINT32 TwFix32ToU32(TW_FIX32 a_fix)
{
    std::uint32_t u = 0;
    std::memcpy(&u, &a_fix, sizeof(a_fix));
    return static_cast<TW_UINT32>(u);
}
inline TW_FIX32 TwU32ToFix32(TW_UINT32 a_u)
{
    std::uint32_t u = static_cast<std::uint32_t>(a_u);
    TW_FIX32 fix;
    std::memcpy(&fix, &u, sizeof(fix));
    return fix;
}

#endif // DRAVO_TWAINDEFS_H
