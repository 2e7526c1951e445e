// twaindefs_caps.h
// The capability ids, the extended image information ids and the named
// capability values of this build's TWAIN definitions: the TWAIN 2.x
// standard's published values, plus the custom ones this program's Data
// Sources use. Included by twaindefs.h; include that header, not this one.

#ifndef DRAVO_TWAINDEFS_CAPS_H
#define DRAVO_TWAINDEFS_CAPS_H

// ---------------------------------------------------------------------------
// Capabilities
// ---------------------------------------------------------------------------
#define CAP_CUSTOMBASE                      0x8000
#define CAP_XFERCOUNT                       0x0001
#define ICAP_COMPRESSION                    0x0100
#define ICAP_PIXELTYPE                      0x0101
#define ICAP_UNITS                          0x0102
#define ICAP_XFERMECH                       0x0103
#define CAP_AUTHOR                          0x1000
#define CAP_CAPTION                         0x1001
#define CAP_FEEDERENABLED                   0x1002
#define CAP_FEEDERLOADED                    0x1003
#define CAP_TIMEDATE                        0x1004
#define CAP_SUPPORTEDCAPS                   0x1005
#define CAP_EXTENDEDCAPS                    0x1006
#define CAP_AUTOFEED                        0x1007
#define CAP_CLEARPAGE                       0x1008
#define CAP_FEEDPAGE                        0x1009
#define CAP_REWINDPAGE                      0x100a
#define CAP_INDICATORS                      0x100b
#define CAP_SUPPORTEDCAPSEXT                0x100c
#define CAP_PAPERDETECTABLE                 0x100d
#define CAP_UICONTROLLABLE                  0x100e
#define CAP_DEVICEONLINE                    0x100f
#define CAP_AUTOSCAN                        0x1010
#define CAP_THUMBNAILSENABLED               0x1011
#define CAP_DUPLEX                          0x1012
#define CAP_DUPLEXENABLED                   0x1013
#define CAP_ENABLEDSUIONLY                  0x1014
#define CAP_CUSTOMDSDATA                    0x1015
#define CAP_ENDORSER                        0x1016
#define CAP_JOBCONTROL                      0x1017
#define CAP_ALARMS                          0x1018
#define CAP_ALARMVOLUME                     0x1019
#define CAP_AUTOMATICCAPTURE                0x101a
#define CAP_TIMEBEFOREFIRSTCAPTURE          0x101b
#define CAP_TIMEBETWEENCAPTURES             0x101c
#define CAP_CLEARBUFFERS                    0x101d
#define CAP_MAXBATCHBUFFERS                 0x101e
#define CAP_DEVICETIMEDATE                  0x101f
#define CAP_POWERSUPPLY                     0x1020
#define CAP_CAMERAPREVIEWUI                 0x1021
#define CAP_DEVICEEVENT                     0x1022
#define CAP_SERIALNUMBER                    0x1024
#define CAP_PRINTER                         0x1026
#define CAP_PRINTERENABLED                  0x1027
#define CAP_PRINTERINDEX                    0x1028
#define CAP_PRINTERMODE                     0x1029
#define CAP_PRINTERSTRING                   0x102a
#define CAP_PRINTERSUFFIX                   0x102b
#define CAP_LANGUAGE                        0x102c
#define CAP_FEEDERALIGNMENT                 0x102d
#define CAP_FEEDERORDER                     0x102e
#define CAP_REACQUIREALLOWED                0x1030
#define CAP_BATTERYMINUTES                  0x1032
#define CAP_BATTERYPERCENTAGE               0x1033
#define CAP_CAMERASIDE                      0x1034
#define CAP_SEGMENTED                       0x1035
#define CAP_CAMERAENABLED                   0x1036
#define CAP_CAMERAORDER                     0x1037
#define CAP_MICRENABLED                     0x1038
#define CAP_FEEDERPREP                      0x1039
#define CAP_FEEDERPOCKET                    0x103a
#define CAP_AUTOMATICSENSEMEDIUM            0x103b
#define CAP_CUSTOMINTERFACEGUID             0x103c
#define CAP_SUPPORTEDCAPSSEGMENTUNIQUE      0x103d
#define CAP_SUPPORTEDDATS                   0x103e
#define CAP_DOUBLEFEEDDETECTION             0x103f
#define CAP_DOUBLEFEEDDETECTIONLENGTH       0x1040
#define CAP_DOUBLEFEEDDETECTIONSENSITIVITY  0x1041
#define CAP_DOUBLEFEEDDETECTIONRESPONSE     0x1042
#define CAP_PAPERHANDLING                   0x1043
#define CAP_INDICATORSMODE                  0x1044
#define CAP_PRINTERVERTICALOFFSET           0x1045
#define CAP_POWERSAVETIME                   0x1046
#define CAP_PRINTERCHARROTATION             0x1047
#define CAP_PRINTERFONTSTYLE                0x1048
#define CAP_PRINTERINDEXLEADCHAR            0x1049
#define CAP_PRINTERINDEXMAXVALUE            0x104A
#define CAP_PRINTERINDEXNUMDIGITS           0x104B
#define CAP_PRINTERINDEXSTEP                0x104C
#define CAP_PRINTERINDEXTRIGGER             0x104D
#define CAP_PRINTERSTRINGPREVIEW            0x104E
#define CAP_SHEETCOUNT                      0x104F
#define CAP_IMAGEADDRESSENABLED             0x1050
#define CAP_IAFIELDA_LEVEL                  0x1051
#define CAP_IAFIELDB_LEVEL                  0x1052
#define CAP_IAFIELDC_LEVEL                  0x1053
#define CAP_IAFIELDD_LEVEL                  0x1054
#define CAP_IAFIELDE_LEVEL                  0x1055
#define CAP_IAFIELDA_PRINTFORMAT            0x1056
#define CAP_IAFIELDB_PRINTFORMAT            0x1057
#define CAP_IAFIELDC_PRINTFORMAT            0x1058
#define CAP_IAFIELDD_PRINTFORMAT            0x1059
#define CAP_IAFIELDE_PRINTFORMAT            0x105A
#define CAP_IAFIELDA_VALUE                  0x105B
#define CAP_IAFIELDB_VALUE                  0x105C
#define CAP_IAFIELDC_VALUE                  0x105D
#define CAP_IAFIELDD_VALUE                  0x105E
#define CAP_IAFIELDE_VALUE                  0x105F
#define CAP_IAFIELDA_LASTPAGE               0x1060
#define CAP_IAFIELDB_LASTPAGE               0x1061
#define CAP_IAFIELDC_LASTPAGE               0x1062
#define CAP_IAFIELDD_LASTPAGE               0x1063
#define CAP_IAFIELDE_LASTPAGE               0x1064

#define ICAP_AUTOBRIGHT                     0x1100
#define ICAP_BRIGHTNESS                     0x1101
#define ICAP_CONTRAST                       0x1103
#define ICAP_CUSTHALFTONE                   0x1104
#define ICAP_EXPOSURETIME                   0x1105
#define ICAP_FILTER                         0x1106
#define ICAP_FLASHUSED                      0x1107
#define ICAP_GAMMA                          0x1108
#define ICAP_HALFTONES                      0x1109
#define ICAP_HIGHLIGHT                      0x110a
#define ICAP_IMAGEFILEFORMAT                0x110c
#define ICAP_LAMPSTATE                      0x110d
#define ICAP_LIGHTSOURCE                    0x110e
#define ICAP_ORIENTATION                    0x1110
#define ICAP_PHYSICALWIDTH                  0x1111
#define ICAP_PHYSICALHEIGHT                 0x1112
#define ICAP_SHADOW                         0x1113
#define ICAP_FRAMES                         0x1114
#define ICAP_XNATIVERESOLUTION              0x1116
#define ICAP_YNATIVERESOLUTION              0x1117
#define ICAP_XRESOLUTION                    0x1118
#define ICAP_YRESOLUTION                    0x1119
#define ICAP_MAXFRAMES                      0x111a
#define ICAP_TILES                          0x111b
#define ICAP_BITORDER                       0x111c
#define ICAP_CCITTKFACTOR                   0x111d
#define ICAP_LIGHTPATH                      0x111e
#define ICAP_PIXELFLAVOR                    0x111f
#define ICAP_PLANARCHUNKY                   0x1120
#define ICAP_ROTATION                       0x1121
#define ICAP_SUPPORTEDSIZES                 0x1122
#define ICAP_THRESHOLD                      0x1123
#define ICAP_XSCALING                       0x1124
#define ICAP_YSCALING                       0x1125
#define ICAP_BITORDERCODES                  0x1126
#define ICAP_PIXELFLAVORCODES               0x1127
#define ICAP_JPEGPIXELTYPE                  0x1128
#define ICAP_TIMEFILL                       0x112a
#define ICAP_BITDEPTH                       0x112b
#define ICAP_BITDEPTHREDUCTION              0x112c
#define ICAP_UNDEFINEDIMAGESIZE             0x112d
#define ICAP_IMAGEDATASET                   0x112e
#define ICAP_EXTIMAGEINFO                   0x112f
#define ICAP_MINIMUMHEIGHT                  0x1130
#define ICAP_MINIMUMWIDTH                   0x1131
#define ICAP_AUTODISCARDBLANKPAGES          0x1134
#define ICAP_FLIPROTATION                   0x1136
#define ICAP_BARCODEDETECTIONENABLED        0x1137
#define ICAP_SUPPORTEDBARCODETYPES          0x1138
#define ICAP_BARCODEMAXSEARCHPRIORITIES     0x1139
#define ICAP_BARCODESEARCHPRIORITIES        0x113a
#define ICAP_BARCODESEARCHMODE              0x113b
#define ICAP_BARCODEMAXRETRIES              0x113c
#define ICAP_BARCODETIMEOUT                 0x113d
#define ICAP_ZOOMFACTOR                     0x113e
#define ICAP_PATCHCODEDETECTIONENABLED      0x113f
#define ICAP_SUPPORTEDPATCHCODETYPES        0x1140
#define ICAP_PATCHCODEMAXSEARCHPRIORITIES   0x1141
#define ICAP_PATCHCODESEARCHPRIORITIES      0x1142
#define ICAP_PATCHCODESEARCHMODE            0x1143
#define ICAP_PATCHCODEMAXRETRIES            0x1144
#define ICAP_PATCHCODETIMEOUT               0x1145
#define ICAP_FLASHUSED2                     0x1146
#define ICAP_IMAGEFILTER                    0x1147
#define ICAP_NOISEFILTER                    0x1148
#define ICAP_OVERSCAN                       0x1149
#define ICAP_AUTOMATICBORDERDETECTION       0x1150
#define ICAP_AUTOMATICDESKEW                0x1151
#define ICAP_AUTOMATICROTATE                0x1152
#define ICAP_JPEGQUALITY                    0x1153
#define ICAP_FEEDERTYPE                     0x1154
#define ICAP_ICCPROFILE                     0x1155
#define ICAP_AUTOSIZE                       0x1156
#define ICAP_AUTOMATICCROPUSESFRAME         0x1157
#define ICAP_AUTOMATICLENGTHDETECTION       0x1158
#define ICAP_AUTOMATICCOLORENABLED          0x1159
#define ICAP_AUTOMATICCOLORNONCOLORPIXELTYPE 0x115a
#define ICAP_COLORMANAGEMENTENABLED         0x115b
#define ICAP_IMAGEMERGE                     0x115c
#define ICAP_IMAGEMERGEHEIGHTTHRESHOLD      0x115d
#define ICAP_SUPPORTEDEXTIMAGEINFO          0x115e
#define ICAP_FILMTYPE                       0x115f
#define ICAP_MIRROR                         0x1160
#define ICAP_JPEGSUBSAMPLING                0x1161

#define ACAP_AUDIOFILEFORMAT                0x1201
#define ACAP_XFERMECH                       0x1202

// Custom capabilities of this program's Data Sources that the program reads.
#define CAP_PAGESIZELIMIT                   0x8002
#define CAP_CAMERAENABLE                    0x801D
#define ICAP_CROPPINGMODE                   0x8022
#define ICAP_FILTERENUM                     0x8024
#define ICAP_IMAGEEDGEFILL                  0x8095
#define CAP_PROFILES                        0x809F
#define CAP_WINDOWCAMERA                    0x80B4
#define CAP_SIDESDIFFERENT                  0x80B7
#define ICAP_ECDO                           0x80B8
#define ICAP_FRAMESANGLE                    0x80BB
#define ICAP_IMAGEFORMAT                    0x80CE

// ---------------------------------------------------------------------------
// Extended image information ids
// ---------------------------------------------------------------------------
#define TWEI_BARCODEX               0x1200
#define TWEI_BARCODEY               0x1201
#define TWEI_BARCODETEXT            0x1202
#define TWEI_BARCODETYPE            0x1203
#define TWEI_DESHADETOP             0x1204
#define TWEI_DESHADELEFT            0x1205
#define TWEI_DESHADEHEIGHT          0x1206
#define TWEI_DESHADEWIDTH           0x1207
#define TWEI_DESHADESIZE            0x1208
#define TWEI_SPECKLESREMOVED        0x1209
#define TWEI_HORZLINEXCOORD         0x120A
#define TWEI_HORZLINEYCOORD         0x120B
#define TWEI_HORZLINELENGTH         0x120C
#define TWEI_HORZLINETHICKNESS      0x120D
#define TWEI_VERTLINEXCOORD         0x120E
#define TWEI_VERTLINEYCOORD         0x120F
#define TWEI_VERTLINELENGTH         0x1210
#define TWEI_VERTLINETHICKNESS      0x1211
#define TWEI_PATCHCODE              0x1212
#define TWEI_ENDORSEDTEXT           0x1213
#define TWEI_FORMCONFIDENCE         0x1214
#define TWEI_FORMTEMPLATEMATCH      0x1215
#define TWEI_FORMTEMPLATEPAGEMATCH  0x1216
#define TWEI_FORMHORZDOCOFFSET      0x1217
#define TWEI_FORMVERTDOCOFFSET      0x1218
#define TWEI_BARCODECOUNT           0x1219
#define TWEI_BARCODECONFIDENCE      0x121A
#define TWEI_BARCODEROTATION        0x121B
#define TWEI_BARCODETEXTLENGTH      0x121C
#define TWEI_DESHADECOUNT           0x121D
#define TWEI_DESHADEBLACKCOUNTOLD   0x121E
#define TWEI_DESHADEBLACKCOUNTNEW   0x121F
#define TWEI_DESHADEBLACKRLMIN      0x1220
#define TWEI_DESHADEBLACKRLMAX      0x1221
#define TWEI_DESHADEWHITECOUNTOLD   0x1222
#define TWEI_DESHADEWHITECOUNTNEW   0x1223
#define TWEI_DESHADEWHITERLMIN      0x1224
#define TWEI_DESHADEWHITERLAVE      0x1225
#define TWEI_DESHADEWHITERLMAX      0x1226
#define TWEI_BLACKSPECKLESREMOVED   0x1227
#define TWEI_WHITESPECKLESREMOVED   0x1228
#define TWEI_HORZLINECOUNT          0x1229
#define TWEI_VERTLINECOUNT          0x122A
#define TWEI_DESKEWSTATUS           0x122B
#define TWEI_SKEWORIGINALANGLE      0x122C
#define TWEI_SKEWFINALANGLE         0x122D
#define TWEI_SKEWCONFIDENCE         0x122E
#define TWEI_SKEWWINDOWX1           0x122F
#define TWEI_SKEWWINDOWY1           0x1230
#define TWEI_SKEWWINDOWX2           0x1231
#define TWEI_SKEWWINDOWY2           0x1232
#define TWEI_SKEWWINDOWX3           0x1233
#define TWEI_SKEWWINDOWY3           0x1234
#define TWEI_SKEWWINDOWX4           0x1235
#define TWEI_SKEWWINDOWY4           0x1236
#define TWEI_BOOKNAME               0x1238
#define TWEI_CHAPTERNUMBER          0x1239
#define TWEI_DOCUMENTNUMBER         0x123A
#define TWEI_PAGENUMBER             0x123B
#define TWEI_CAMERA                 0x123C
#define TWEI_FRAMENUMBER            0x123D
#define TWEI_FRAME                  0x123E
#define TWEI_PIXELFLAVOR            0x123F
#define TWEI_ICCPROFILE             0x1240
#define TWEI_LASTSEGMENT            0x1241
#define TWEI_SEGMENTNUMBER          0x1242
#define TWEI_MAGDATA                0x1243
#define TWEI_MAGTYPE                0x1244
#define TWEI_PAGESIDE               0x1245
#define TWEI_FILESYSTEMSOURCE       0x1246
#define TWEI_IMAGEMERGED            0x1247
#define TWEI_MAGDATALENGTH          0x1248
#define TWEI_PAPERCOUNT             0x1249
#define TWEI_PRINTERTEXT            0x124A
#define TWEI_TWAINDIRECTMETADATA    0x124B

// Custom extended image information of this program's Data Sources.
#define TWEI_HDR_PAGESIDE           0x8001
#define TWEI_HDR_DOCUMENTCOUNT      0x8002
#define TWEI_HDR_LENGTH             0x8003
#define TWEI_HDR_LEVEL              0x8004
#define TWEI_HDR_LINELENGTH         0x8006
#define TWEI_HDR_PAGELENGTH         0x8007
#define TWEI_HDR_COMPRESSION        0x8008
#define TWEI_HDR_DATE               0x8009
#define TWEI_HDR_TIME               0x800A
#define TWEI_HDR_RESOLUTION         0x800C
#define TWEI_HDR_BITORDER           0x800D
#define TWEI_HDR_DESKEW             0x8012
#define TWEI_HDR_DESKEWANGLE        0x8013
#define TWEI_HDR_PRINTERSTRING      0x8015
#define TWEI_HDR_PRINTERINDEX       0x8016
#define TWEI_HDR_IMAGENUMBER        0x8017
#define TWEI_HDR_PAGENUMBER         0x8018
#define TWEI_HDR_PAGEIMAGENUMBER    0x8019
#define TWEI_HDR_BOOKNAME_A         0x801A
#define TWEI_HDR_BOOKNAME_B         0x801B
#define TWEI_HDR_BOOKNAME_C         0x801C
#define TWEI_HDR_BOOKNAME_D         0x801D
#define TWEI_HDR_IMAGEADDRESSSTRING 0x801E
#define TWEI_HDR_XOFFSET            0x801F
#define TWEI_HDR_YOFFSET            0x8020
#define TWEI_HDR_FEATUREPATCH       0x8021
#define TWEI_HDR_IMAGEADDRESSDEFS   0x8022
#define TWEI_HDR_DITHER             0x8028
#define TWEI_HDR_PATCHDETECTED      0x8029
#define TWEI_HDR_MULTIFEED          0x8032
#define TWEI_HDR_RAWIMAGEHEADER     0x8034
#define TWEI_HDR_LONGPAPERSEGMENT   0x8035
#define TWEI_HDR_LONGPAPERLASTSEGMENT 0x8036
#define TWEI_HDR_AUTOCOLORDETECTED  0x8037
#define TWEI_HDR_AUTOCOLORAMOUNT    0x8038
#define TWEI_HDR_AUTOCOLORTHRESHOLD 0x8039
#define TWEI_HDR_XML                0x803A
#define TWEI_HDR_DROPOUTSTATUS      0x803B
#define TWEI_HDR_BINARIZATIONQUALITY 0x803D
#define TWEI_HDR_DUALSTACKINGSTACK  0x803E
#define TWEI_HDR_PAPERDESTINATION   0x803F
#define TWEI_HDR_SLEEVETYPE         0x8040
#define TWEI_HDR_MULTIIMAGEINDEX    0x8041
#define TWEI_HDR_MULTIIMAGETOTAL    0x8042
#define TWEI_HDR_ENDOFSHEET         0x8043

// ---------------------------------------------------------------------------
// Capability values
// ---------------------------------------------------------------------------
// ACAP_AUDIOFILEFORMAT
#define TWAF_WAV   0
#define TWAF_AIFF  1
#define TWAF_AU    3
#define TWAF_SND   4

// CAP_ALARMS
#define TWAL_ALARM          0
#define TWAL_FEEDERERROR    1
#define TWAL_FEEDERWARNING  2
#define TWAL_BARCODE        3
#define TWAL_DOUBLEFEED     4
#define TWAL_JAM            5
#define TWAL_PATCHCODE      6
#define TWAL_POWER          7
#define TWAL_SKEW           8

// ICAP_AUTOSIZE
#define TWAS_NONE     0
#define TWAS_AUTO     1
#define TWAS_CURRENT  2

// TWEI_BARCODEROTATION
#define TWBCOR_ROT0    0
#define TWBCOR_ROT90   1
#define TWBCOR_ROT180  2
#define TWBCOR_ROT270  3
#define TWBCOR_ROTX    4

// ICAP_BARCODESEARCHMODE
#define TWBD_HORZ      0
#define TWBD_VERT      1
#define TWBD_HORZVERT  2
#define TWBD_VERTHORZ  3

// ICAP_BITORDER
#define TWBO_LSBFIRST  0
#define TWBO_MSBFIRST  1

// ICAP_AUTODISCARDBLANKPAGES
#define TWBP_DISABLE  (-2)
#define TWBP_AUTO     (-1)

// ICAP_BITDEPTHREDUCTION
#define TWBR_THRESHOLD         0
#define TWBR_HALFTONE          1
#define TWBR_CUSTHALFTONE      2
#define TWBR_DIFFUSION         3
#define TWBR_DYNAMICTHRESHOLD  4

// ICAP_SUPPORTEDBARCODETYPES, TWEI_BARCODETYPE
#define TWBT_3OF9                  0
#define TWBT_2OF5INTERLEAVED       1
#define TWBT_2OF5NONINTERLEAVED    2
#define TWBT_CODE93                3
#define TWBT_CODE128               4
#define TWBT_UCC128                5
#define TWBT_CODABAR               6
#define TWBT_UPCA                  7
#define TWBT_UPCE                  8
#define TWBT_EAN8                  9
#define TWBT_EAN13                 10
#define TWBT_POSTNET               11
#define TWBT_PDF417                12
#define TWBT_2OF5INDUSTRIAL        13
#define TWBT_2OF5MATRIX            14
#define TWBT_2OF5DATALOGIC         15
#define TWBT_2OF5IATA              16
#define TWBT_3OF9FULLASCII         17
#define TWBT_CODABARWITHSTARTSTOP  18
#define TWBT_MAXICODE              19
#define TWBT_QRCODE                20

// CAP_CLEARBUFFERS
#define TWCB_AUTO     0
#define TWCB_CLEAR    1
#define TWCB_NOCLEAR  2

// CAP_INDICATORSMODE
#define TWCI_INFO     0
#define TWCI_WARNING  1
#define TWCI_ERROR    2
#define TWCI_WARMUP   3

// ICAP_COMPRESSION
#define TWCP_NONE         0
#define TWCP_PACKBITS     1
#define TWCP_GROUP31D     2
#define TWCP_GROUP31DEOL  3
#define TWCP_GROUP32D     4
#define TWCP_GROUP4       5
#define TWCP_JPEG         6
#define TWCP_LZW          7
#define TWCP_JBIG         8
#define TWCP_PNG          9
#define TWCP_RLE4         10
#define TWCP_RLE8         11
#define TWCP_BITFIELDS    12
#define TWCP_ZIP          13
#define TWCP_JPEG2000     14

// CAP_CAMERASIDE, TWEI_PAGESIDE
#define TWCS_BOTH    0
#define TWCS_TOP     1
#define TWCS_BOTTOM  2

// CAP_PRINTERINDEXTRIGGER
#define TWCT_PAGE    0
#define TWCT_PATCH1  1
#define TWCT_PATCH2  2
#define TWCT_PATCH3  3
#define TWCT_PATCH4  4
#define TWCT_PATCHT  5
#define TWCT_PATCH6  6

// CAP_DOUBLEFEEDDETECTION
#define TWDF_ULTRASONIC  0
#define TWDF_BYLENGTH    1
#define TWDF_INFRARED    2

// CAP_DOUBLEFEEDDETECTIONRESPONSE
#define TWDP_STOP          0
#define TWDP_STOPANDWAIT   1
#define TWDP_SOUND         2
#define TWDP_DONOTIMPRINT  3

// TWEI_DESKEWSTATUS
#define TWDSK_SUCCESS     0
#define TWDSK_REPORTONLY  1
#define TWDSK_FAIL        2
#define TWDSK_DISABLED    3

// CAP_DUPLEX
#define TWDX_NONE         0
#define TWDX_1PASSDUPLEX  1
#define TWDX_2PASSDUPLEX  2

// TWEI_PATCHCODE
#define TWEJ_NONE          0x0000
#define TWEJ_MIDSEPARATOR  0x0001
#define TWEJ_PATCH1        0x0002
#define TWEJ_PATCH2        0x0003
#define TWEJ_PATCH3        0x0004
#define TWEJ_PATCH4        0x0005
#define TWEJ_PATCH6        0x0006
#define TWEJ_PATCHT        0x0007

// CAP_FEEDERALIGNMENT
#define TWFA_NONE    0
#define TWFA_LEFT    1
#define TWFA_CENTER  2
#define TWFA_RIGHT   3

// ICAP_FEEDERTYPE
#define TWFE_GENERAL  0
#define TWFE_PHOTO    1

// ICAP_IMAGEFILEFORMAT
#define TWFF_TIFF       0
#define TWFF_PICT       1
#define TWFF_BMP        2
#define TWFF_XBM        3
#define TWFF_JFIF       4
#define TWFF_FPX        5
#define TWFF_TIFFMULTI  6
#define TWFF_PNG        7
#define TWFF_SPIFF      8
#define TWFF_EXIF       9
#define TWFF_PDF        10
#define TWFF_JP2        11
#define TWFF_JPX        13
#define TWFF_DEJAVU     14
#define TWFF_PDFA       15
#define TWFF_PDFA2      16
#define TWFF_PDFRASTER  17

// ICAP_FLASHUSED2
#define TWFL_NONE    0
#define TWFL_OFF     1
#define TWFL_ON      2
#define TWFL_AUTO    3
#define TWFL_REDEYE  4

// CAP_FEEDERORDER
#define TWFO_FIRSTPAGEFIRST  0
#define TWFO_LASTPAGEFIRST   1

// CAP_FEEDERPOCKET
#define TWFP_POCKETERROR  0
#define TWFP_POCKET1      1
#define TWFP_POCKET2      2
#define TWFP_POCKET3      3
#define TWFP_POCKET4      4
#define TWFP_POCKET5      5
#define TWFP_POCKET6      6
#define TWFP_POCKET7      7
#define TWFP_POCKET8      8
#define TWFP_POCKET9      9
#define TWFP_POCKET10     10
#define TWFP_POCKET11     11
#define TWFP_POCKET12     12
#define TWFP_POCKET13     13
#define TWFP_POCKET14     14
#define TWFP_POCKET15     15
#define TWFP_POCKET16     16

// ICAP_FLIPROTATION
#define TWFR_BOOK     0
#define TWFR_FANFOLD  1

// ICAP_FILTER
#define TWFT_RED      0
#define TWFT_GREEN    1
#define TWFT_BLUE     2
#define TWFT_NONE     3
#define TWFT_WHITE    4
#define TWFT_CYAN     5
#define TWFT_MAGENTA  6
#define TWFT_YELLOW   7
#define TWFT_BLACK    8

// ICAP_FILMTYPE
#define TWFM_POSITIVE  0
#define TWFM_NEGATIVE  1

// DAT_FILESYSTEM file types
#define TWFY_CAMERA         0
#define TWFY_CAMERATOP      1
#define TWFY_CAMERABOTTOM   2
#define TWFY_CAMERAPREVIEW  3
#define TWFY_DOMAIN         4
#define TWFY_HOST           5
#define TWFY_DIRECTORY      6
#define TWFY_IMAGE          7
#define TWFY_UNKNOWN        8

// ICAP_ICCPROFILE
#define TWIC_NONE   0
#define TWIC_LINK   1
#define TWIC_EMBED  2

// ICAP_IMAGEFILTER
#define TWIF_NONE      0
#define TWIF_AUTO      1
#define TWIF_LOWPASS   2
#define TWIF_BANDPASS  3
#define TWIF_HIGHPASS  4
#define TWIF_TEXT      TWIF_BANDPASS
#define TWIF_FINELINE  TWIF_HIGHPASS

// ICAP_IMAGEMERGE
#define TWIM_NONE           0
#define TWIM_FRONTONTOP     1
#define TWIM_FRONTONBOTTOM  2
#define TWIM_FRONTONLEFT    3
#define TWIM_FRONTONRIGHT   4

// CAP_JOBCONTROL
#define TWJC_NONE  0
#define TWJC_JSIC  1
#define TWJC_JSIS  2
#define TWJC_JSXC  3
#define TWJC_JSXS  4

// ICAP_JPEGQUALITY
#define TWJQ_UNKNOWN  (-4)
#define TWJQ_LOW      (-3)
#define TWJQ_MEDIUM   (-2)
#define TWJQ_HIGH     (-1)

// ICAP_JPEGSUBSAMPLING
#define TWJS_444YCBCR  0
#define TWJS_444RGB    1
#define TWJS_422       2
#define TWJS_421       3
#define TWJS_411       4
#define TWJS_420       5
#define TWJS_410       6
#define TWJS_311       7

// ICAP_LIGHTPATH
#define TWLP_REFLECTIVE    0
#define TWLP_TRANSMISSIVE  1

// ICAP_LIGHTSOURCE
#define TWLS_RED    0
#define TWLS_GREEN  1
#define TWLS_BLUE   2
#define TWLS_NONE   3
#define TWLS_WHITE  4
#define TWLS_UV     5
#define TWLS_IR     6

// ICAP_MIRROR
#define TWMR_NONE        0
#define TWMR_VERTICAL    1
#define TWMR_HORIZONTAL  2

// ICAP_NOISEFILTER
#define TWNF_NONE          0
#define TWNF_AUTO          1
#define TWNF_LONEPIXEL     2
#define TWNF_MAJORITYRULE  3

// ICAP_ORIENTATION
#define TWOR_ROT0         0
#define TWOR_ROT90        1
#define TWOR_ROT180       2
#define TWOR_ROT270       3
#define TWOR_PORTRAIT     TWOR_ROT0
#define TWOR_LANDSCAPE    TWOR_ROT270
#define TWOR_AUTO         4
#define TWOR_AUTOTEXT     5
#define TWOR_AUTOPICTURE  6

// ICAP_OVERSCAN
#define TWOV_NONE       0
#define TWOV_AUTO       1
#define TWOV_TOPBOTTOM  2
#define TWOV_LEFTRIGHT  3
#define TWOV_ALL        4

// ICAP_PLANARCHUNKY
#define TWPC_CHUNKY  0
#define TWPC_PLANAR  1

// ICAP_SUPPORTEDPATCHCODETYPES
#define TWPCH_PATCH1  0
#define TWPCH_PATCH2  1
#define TWPCH_PATCH3  2
#define TWPCH_PATCH4  3
#define TWPCH_PATCH6  4
#define TWPCH_PATCHT  5

// ICAP_PIXELFLAVOR
#define TWPF_CHOCOLATE  0
#define TWPF_VANILLA    1

// CAP_PRINTERFONTSTYLE
#define TWPF_NORMAL     0
#define TWPF_BOLD       1
#define TWPF_ITALIC     2
#define TWPF_LARGESIZE  3
#define TWPF_SMALLSIZE  4

// CAP_PAPERHANDLING
#define TWPH_NORMAL      0
#define TWPH_FRAGILE     1
#define TWPH_THICK       2
#define TWPH_TRIFOLD     3
#define TWPH_PHOTOGRAPH  4

// CAP_PRINTERMODE
#define TWPM_SINGLESTRING        0
#define TWPM_MULTISTRING         1
#define TWPM_COMPOUNDSTRING      2
#define TWPM_IMAGEADDRESSSTRING  3

// CAP_PRINTER
#define TWPR_IMPRINTERTOPBEFORE     0
#define TWPR_IMPRINTERTOPAFTER      1
#define TWPR_IMPRINTERBOTTOMBEFORE  2
#define TWPR_IMPRINTERBOTTOMAFTER   3
#define TWPR_ENDORSERTOPBEFORE      4
#define TWPR_ENDORSERTOPAFTER       5
#define TWPR_ENDORSERBOTTOMBEFORE   6
#define TWPR_ENDORSERBOTTOMAFTER    7

// CAP_POWERSUPPLY
#define TWPS_EXTERNAL  0
#define TWPS_BATTERY   1

// ICAP_PIXELTYPE
#define TWPT_BW        0
#define TWPT_GRAY      1
#define TWPT_RGB       2
#define TWPT_PALETTE   3
#define TWPT_CMY       4
#define TWPT_CMYK      5
#define TWPT_YUV       6
#define TWPT_YUVK      7
#define TWPT_CIEXYZ    8
#define TWPT_LAB       9
#define TWPT_SRGB      10
#define TWPT_SCRGB     11
#define TWPT_INFRARED  16

// CAP_SEGMENTED
#define TWSG_NONE    0
#define TWSG_AUTO    1
#define TWSG_MANUAL  2

// ICAP_SUPPORTEDSIZES
#define TWSS_NONE          0
#define TWSS_A4            1
#define TWSS_JISB5         2
#define TWSS_USLETTER      3
#define TWSS_USLEGAL       4
#define TWSS_A5            5
#define TWSS_ISOB4         6
#define TWSS_ISOB6         7
#define TWSS_USLEDGER      9
#define TWSS_USEXECUTIVE   10
#define TWSS_A3            11
#define TWSS_ISOB3         12
#define TWSS_A6            13
#define TWSS_C4            14
#define TWSS_C5            15
#define TWSS_C6            16
#define TWSS_4A0           17
#define TWSS_2A0           18
#define TWSS_A0            19
#define TWSS_A1            20
#define TWSS_A2            21
#define TWSS_A7            22
#define TWSS_A8            23
#define TWSS_A9            24
#define TWSS_A10           25
#define TWSS_ISOB0         26
#define TWSS_ISOB1         27
#define TWSS_ISOB2         28
#define TWSS_ISOB5         29
#define TWSS_ISOB7         30
#define TWSS_ISOB8         31
#define TWSS_ISOB9         32
#define TWSS_ISOB10        33
#define TWSS_JISB0         34
#define TWSS_JISB1         35
#define TWSS_JISB2         36
#define TWSS_JISB3         37
#define TWSS_JISB4         38
#define TWSS_JISB6         39
#define TWSS_JISB7         40
#define TWSS_JISB8         41
#define TWSS_JISB9         42
#define TWSS_JISB10        43
#define TWSS_C0            44
#define TWSS_C1            45
#define TWSS_C2            46
#define TWSS_C3            47
#define TWSS_C7            48
#define TWSS_C8            49
#define TWSS_C9            50
#define TWSS_C10           51
#define TWSS_USSTATEMENT   52
#define TWSS_BUSINESSCARD  53
#define TWSS_MAXSIZE       54

// ICAP_XFERMECH, ACAP_XFERMECH
#define TWSX_NATIVE   0
#define TWSX_FILE     1
#define TWSX_MEMORY   2
#define TWSX_MEMFILE  4

// ICAP_UNITS
#define TWUN_INCHES       0
#define TWUN_CENTIMETERS  1
#define TWUN_PICAS        2
#define TWUN_POINTS       3
#define TWUN_TWIPS        4
#define TWUN_PIXELS       5
#define TWUN_MILLIMETERS  6

// CAP_DOUBLEFEEDDETECTIONSENSITIVITY
#define TWUS_LOW     0
#define TWUS_MEDIUM  1
#define TWUS_HIGH    2

// CAP_LANGUAGE (the values this program names itself; the symbol table has all)
#define TWLG_USERLOCALE     (-1)
#define TWLG_DANISH         0
#define TWLG_DUTCH          1
#define TWLG_ENGLISH        2
#define TWLG_FRENCH_CANADIAN 3
#define TWLG_FINNISH        4
#define TWLG_FRENCH         5
#define TWLG_GERMAN         6
#define TWLG_ICELANDIC      7
#define TWLG_ITALIAN        8
#define TWLG_NORWEGIAN      9
#define TWLG_PORTUGUESE     10
#define TWLG_SPANISH        11
#define TWLG_SWEDISH        12
#define TWLG_ENGLISH_USA    13

// Country codes used in identities (the symbol table has all)
#define TWCY_USA            1
#define TWCY_CANADA         2
#define TWCY_GERMANY        49
#define TWCY_UNITEDKINGDOM  44

// Custom values of this program's Data Sources named by the program.
// CAP_WINDOWCAMERA: 4 x window (0 to 10) + 2 for colour + 1 for the rear side.
#define TWWC_BASE_BITONAL_FRONT  0
#define TWWC_BASE_BITONAL_REAR   1
#define TWWC_BASE_COLOR_FRONT    2
#define TWWC_BASE_COLOR_REAR     3
#define TWWC_1_BITONAL_FRONT     4
#define TWWC_1_COLOR_FRONT       6
#define TWWC_10_COLOR_REAR       43
// ICAP_CROPPINGMODE, ICAP_IMAGEEDGEFILL
#define TWCR_TRANSPORT           1
#define TWIE_BLACK               2

#endif // DRAVO_TWAINDEFS_CAPS_H
