/* Public enumerations of plover. Their numeric values are part of the boundary. */
#ifndef PLOVER_ENUM_H
#define PLOVER_ENUM_H

/* The type of a cell's value; a formula cell reports the type of its result. */
typedef enum CellTypeEnum {
    CELLTYPE_NONE = -1, /* outside the sheet, or failure */
    CELLTYPE_EMPTY = 0,
    CELLTYPE_NUMBER = 1,
    CELLTYPE_TEXT = 2, /* plain or rich */
    CELLTYPE_BOOLEAN = 3,
    CELLTYPE_DATETIME = 4, /* a number with a date or time format */
    CELLTYPE_ERROR = 5
} CellTypeEnum;

/* A cell's error value; 0 is no error. */
typedef enum ErrorCodeEnum {
    ERRORCODE_NONE = 0,
    ERRORCODE_NULL = 1, /* #NULL! */
    ERRORCODE_DIV0 = 2, /* #DIV/0! */
    ERRORCODE_VALUE = 3, /* #VALUE! */
    ERRORCODE_REF = 4, /* #REF! */
    ERRORCODE_NAME = 5, /* #NAME? */
    ERRORCODE_NUM = 6, /* #NUM! */
    ERRORCODE_NA = 7, /* #N/A */
    ERRORCODE_GETTING_DATA = 8, /* #GETTING_DATA */
    ERRORCODE_SPILL = 9 /* #SPILL! */
} ErrorCodeEnum;

/* Calculation mode of a workbook (wb_get_calc_mode, wb_set_calc_mode). */
typedef enum CalcTypeEnum {
    CALCTYPE_AUTO = 0, /* automatic */
    CALCTYPE_MANUAL = 1,
    CALCTYPE_AUTO_NO_TABLE = 2 /* automatic except data tables */
} CalcTypeEnum;

/* Visibility of a sheet (wb_get_sheet_state, wb_set_sheet_state). */
typedef enum SheetStateEnum {
    SHEETSTATE_VISIBLE = 0,
    SHEETSTATE_HIDDEN = 1,
    SHEETSTATE_VERY_HIDDEN = 2 /* shown again only by a program */
} SheetStateEnum;

/* Page orientation (ws_page_orientation, ws_set_page_orientation). */
typedef enum PageOrientEnum {
    PAGEORIENT_DEFAULT = 0,
    PAGEORIENT_LANDSCAPE = 1,
    PAGEORIENT_PORTRAIT = 2
} PageOrientEnum;

/* How cell errors are printed (ws_print_errors, ws_set_print_errors). */
typedef enum PrintErrorEnum {
    PRINTERROR_BLANK = 0,
    PRINTERROR_DASH = 1,
    PRINTERROR_DISPLAYED = 2, /* as shown */
    PRINTERROR_NA = 3 /* as #N/A */
} PrintErrorEnum;

/* Unit of row heights (ws_get_custom_row_height, ws_set_custom_row_height). */
typedef enum RowHeightUnitEnum {
    ROWHEIGHT_POINTS = 0, /* 1/72 inch */
    ROWHEIGHT_INCHES = 1,
    ROWHEIGHT_MILLIMETERS = 2
} RowHeightUnitEnum;

/* Unit of column widths (ws_get_custom_col_width, ws_set_custom_col_width). */
typedef enum ColWidthUnitEnum {
    COLWIDTH_CHARACTERS = 0, /* of 8 pixels, padding included */
    COLWIDTH_INCHES = 1,
    COLWIDTH_MILLIMETERS = 2
} ColWidthUnitEnum;

/* Horizontal alignment of a style (style_align_h, style_set_align_h). */
typedef enum HAlignEnum {
    HALIGN_GENERAL = 0,
    HALIGN_LEFT = 1,
    HALIGN_CENTER = 2,
    HALIGN_RIGHT = 3,
    HALIGN_FILL = 4,
    HALIGN_JUSTIFY = 5,
    HALIGN_CENTER_CONTINUOUS = 6,
    HALIGN_DISTRIBUTED = 7
} HAlignEnum;

/* Vertical alignment of a style (style_align_v, style_set_align_v). */
typedef enum VAlignEnum {
    VALIGN_BOTTOM = 0,
    VALIGN_CENTER = 1,
    VALIGN_TOP = 2,
    VALIGN_JUSTIFY = 3,
    VALIGN_DISTRIBUTED = 4
} VAlignEnum;

/* Underline of a font (style_underlined, style_set_underline). */
typedef enum UnderlineEnum {
    UNDERLINE_NONE = 0,
    UNDERLINE_SINGLE = 1,
    UNDERLINE_SINGLE_ACCOUNTING = 2,
    UNDERLINE_DOUBLE = 3,
    UNDERLINE_DOUBLE_ACCOUNTING = 4
} UnderlineEnum;

/* Vertical position of a font's text (style_font_vert_align, style_set_font_vert_align). */
typedef enum VertAlignRunEnum {
    VERTALIGN_BASELINE = 0,
    VERTALIGN_SUBSCRIPT = 1,
    VERTALIGN_SUPERSCRIPT = 2
} VertAlignRunEnum;

/* Edges of a border (style_border, style_set_border and their colours). */
typedef enum BorderIndexEnum {
    BORDER_LEFT = 0,
    BORDER_RIGHT = 1,
    BORDER_TOP = 2,
    BORDER_BOTTOM = 3,
    BORDER_INNER_HORIZONTAL = 4,
    BORDER_INNER_VERTICAL = 5,
    BORDER_DIAGONAL_DOWN = 6, /* top left to bottom right */
    BORDER_DIAGONAL_UP = 7, /* bottom left to top right */
    BORDER_OUTLINE = 8, /* left, right, top and bottom; set only */
    BORDER_INNER = 9 /* both inner edges; set only */
} BorderIndexEnum;

/* Line style of a border edge. */
typedef enum BorderStyleEnum {
    BORDERSTYLE_NONE = 0,
    BORDERSTYLE_THIN = 1,
    BORDERSTYLE_MEDIUM = 2,
    BORDERSTYLE_THICK = 3,
    BORDERSTYLE_DOUBLE = 4,
    BORDERSTYLE_DASHED = 5,
    BORDERSTYLE_MEDIUM_DASHED = 6,
    BORDERSTYLE_DASH_DOT = 7,
    BORDERSTYLE_MEDIUM_DASH_DOT = 8,
    BORDERSTYLE_DASH_DOT_DOT = 9,
    BORDERSTYLE_MEDIUM_DASH_DOT_DOT = 10,
    BORDERSTYLE_SLANT_DASH_DOT = 11,
    BORDERSTYLE_DOTTED = 12,
    BORDERSTYLE_HAIR = 13
} BorderStyleEnum;

/* Fill pattern of a style (style_fill_pattern, style_set_fill_pattern). */
typedef enum PatternTypeEnum {
    PATTERN_NONE = 0,
    PATTERN_SOLID = 1,
    PATTERN_DARK_GRAY = 2,
    PATTERN_MEDIUM_GRAY = 3,
    PATTERN_LIGHT_GRAY = 4,
    PATTERN_GRAY125 = 5,
    PATTERN_GRAY0625 = 6,
    PATTERN_DARK_HORIZONTAL = 7,
    PATTERN_DARK_VERTICAL = 8,
    PATTERN_DARK_UP = 9,
    PATTERN_DARK_DOWN = 10,
    PATTERN_DARK_TRELLIS = 11,
    PATTERN_DARK_GRID = 12,
    PATTERN_LIGHT_HORIZONTAL = 13,
    PATTERN_LIGHT_VERTICAL = 14,
    PATTERN_LIGHT_UP = 15,
    PATTERN_LIGHT_DOWN = 16,
    PATTERN_LIGHT_TRELLIS = 17,
    PATTERN_LIGHT_GRID = 18
} PatternTypeEnum;

/* Function of a table column's totals row (td_totals_row_func, td_set_totals_row_func). */
typedef enum TotalsFuncEnum {
    TOTALSFUNC_NONE = 0,
    TOTALSFUNC_SUM = 1,
    TOTALSFUNC_AVERAGE = 2,
    TOTALSFUNC_COUNT = 3,
    TOTALSFUNC_COUNT_NUMS = 4,
    TOTALSFUNC_CUSTOM = 5,
    TOTALSFUNC_MIN = 6,
    TOTALSFUNC_MAX = 7,
    TOTALSFUNC_STD_DEV = 8,
    TOTALSFUNC_VAR = 9
} TotalsFuncEnum;

/* Options of ws_protect, combined with |: each set bit protects that action
 * (a set select bit forbids selecting those cells). PROTECT_DEFAULT leaves
 * selecting cells free and protects the rest; PROTECT_ALL protects everything. */
typedef enum ProtectOptionEnum {
    PROTECT_SELECT_LOCKED_CELLS = 0x0001,
    PROTECT_SELECT_UNLOCKED_CELLS = 0x0002,
    PROTECT_OBJECTS = 0x0004,
    PROTECT_SCENARIOS = 0x0008,
    PROTECT_FORMAT_CELLS = 0x0010,
    PROTECT_FORMAT_COLUMNS = 0x0020,
    PROTECT_FORMAT_ROWS = 0x0040,
    PROTECT_INSERT_COLUMNS = 0x0080,
    PROTECT_INSERT_ROWS = 0x0100,
    PROTECT_INSERT_HYPERLINKS = 0x0200,
    PROTECT_DELETE_COLUMNS = 0x0400,
    PROTECT_DELETE_ROWS = 0x0800,
    PROTECT_SORT = 0x1000,
    PROTECT_AUTOFILTER = 0x2000,
    PROTECT_PIVOT_TABLES = 0x4000,
    PROTECT_DEFAULT = 4095,
    PROTECT_ALL = 32767
} ProtectOptionEnum;

/* How a picture is placed (ws_image_anchor_type); 0 is no such picture. */
typedef enum AnchorTypeEnum {
    ANCHOR_NONE = 0,
    ANCHOR_ABSOLUTE = 1, /* at a position in pixels */
    ANCHOR_ONE_CELL = 2, /* moves with its cell */
    ANCHOR_TWO_CELL = 3 /* moves and sizes with its cells */
} AnchorTypeEnum;

/* Paper ids of ws_paper and ws_set_paper. */
typedef enum PaperEnum {
    PAPER_LETTER = 1, /* Letter, 8 1/2 x 11 in */
    PAPER_LETTER_SMALL = 2, /* Letter small, 8 1/2 x 11 in */
    PAPER_TABLOID = 3, /* Tabloid, 11 x 17 in */
    PAPER_LEDGER = 4, /* Ledger, 17 x 11 in */
    PAPER_LEGAL = 5, /* Legal, 8 1/2 x 14 in */
    PAPER_STATEMENT = 6, /* Statement, 5 1/2 x 8 1/2 in */
    PAPER_EXECUTIVE = 7, /* Executive, 7 1/4 x 10 1/2 in */
    PAPER_A3 = 8, /* A3, 297 x 420 mm */
    PAPER_A4 = 9, /* A4, 210 x 297 mm */
    PAPER_A4_SMALL = 10, /* A4 small, 210 x 297 mm */
    PAPER_A5 = 11, /* A5, 148 x 210 mm */
    PAPER_B4 = 12, /* B4 (JIS), 257 x 364 mm */
    PAPER_B5 = 13, /* B5 (JIS), 182 x 257 mm */
    PAPER_FOLIO = 14, /* Folio, 8 1/2 x 13 in */
    PAPER_QUARTO = 15, /* Quarto, 215 x 275 mm */
    PAPER_10X14 = 16, /* 10 x 14 in */
    PAPER_11X17 = 17, /* 11 x 17 in */
    PAPER_NOTE = 18, /* Note, 8 1/2 x 11 in */
    PAPER_ENV_9 = 19, /* Envelope #9, 3 7/8 x 8 7/8 in */
    PAPER_ENV_10 = 20, /* Envelope #10, 4 1/8 x 9 1/2 in */
    PAPER_ENV_11 = 21, /* Envelope #11, 4 1/2 x 10 3/8 in */
    PAPER_ENV_12 = 22, /* Envelope #12, 4 3/4 x 11 in */
    PAPER_ENV_14 = 23, /* Envelope #14, 5 x 11 1/2 in */
    PAPER_CSHEET = 24, /* C sheet, 17 x 22 in */
    PAPER_DSHEET = 25, /* D sheet, 22 x 34 in */
    PAPER_ESHEET = 26, /* E sheet, 34 x 44 in */
    PAPER_ENV_DL = 27, /* Envelope DL, 110 x 220 mm */
    PAPER_ENV_C5 = 28, /* Envelope C5, 162 x 229 mm */
    PAPER_ENV_C3 = 29, /* Envelope C3, 324 x 458 mm */
    PAPER_ENV_C4 = 30, /* Envelope C4, 229 x 324 mm */
    PAPER_ENV_C6 = 31, /* Envelope C6, 114 x 162 mm */
    PAPER_ENV_C65 = 32, /* Envelope C65, 114 x 229 mm */
    PAPER_ENV_B4 = 33, /* Envelope B4, 250 x 353 mm */
    PAPER_ENV_B5 = 34, /* Envelope B5, 176 x 250 mm */
    PAPER_ENV_B6 = 35, /* Envelope B6, 176 x 125 mm */
    PAPER_ENV_ITALY = 36, /* Envelope, 110 x 230 mm */
    PAPER_ENV_MONARCH = 37, /* Envelope Monarch, 3 7/8 x 7 1/2 in */
    PAPER_ENV_PERSONAL = 38, /* Envelope 6 3/4, 3 5/8 x 6 1/2 in */
    PAPER_FANFOLD_US = 39, /* US standard fanfold, 14 7/8 x 11 in */
    PAPER_FANFOLD_STD_GERMAN = 40, /* German standard fanfold, 8 1/2 x 12 in */
    PAPER_FANFOLD_LGL_GERMAN = 41, /* German legal fanfold, 8 1/2 x 13 in */
    PAPER_ISO_B4 = 42, /* ISO B4, 250 x 353 mm */
    PAPER_JAPANESE_POSTCARD = 43, /* Japanese double postcard, 200 x 148 mm */
    PAPER_9X11 = 44, /* Standard paper, 9 x 11 in */
    PAPER_10X11 = 45, /* Standard paper, 10 x 11 in */
    PAPER_15X11 = 46, /* Standard paper, 15 x 11 in */
    PAPER_ENV_INVITE = 47, /* Invite envelope, 220 x 220 mm */
    PAPER_RESERVED_48 = 48, /* reserved */
    PAPER_RESERVED_49 = 49, /* reserved */
    PAPER_LETTER_EXTRA = 50, /* Letter extra, 9.275 x 12 in */
    PAPER_LEGAL_EXTRA = 51, /* Legal extra, 9.275 x 15 in */
    PAPER_TABLOID_EXTRA = 52, /* Tabloid extra, 11.69 x 18 in */
    PAPER_A4_EXTRA = 53, /* A4 extra, 236 x 322 mm */
    PAPER_LETTER_TRANSVERSE = 54, /* Letter transverse, 8 1/2 x 11 in */
    PAPER_A4_TRANSVERSE = 55, /* A4 transverse, 210 x 297 mm */
    PAPER_LETTER_EXTRA_TRANSVERSE = 56, /* Letter extra transverse, 9.275 x 12 in */
    PAPER_A_PLUS = 57, /* Super A/A4, 227 x 356 mm */
    PAPER_B_PLUS = 58, /* Super B/A3, 305 x 487 mm */
    PAPER_LETTER_PLUS = 59, /* Letter plus, 8.5 x 12.69 in */
    PAPER_A4_PLUS = 60, /* A4 plus, 210 x 330 mm */
    PAPER_A5_TRANSVERSE = 61, /* A5 transverse, 148 x 210 mm */
    PAPER_B5_TRANSVERSE = 62, /* JIS B5 transverse, 182 x 257 mm */
    PAPER_A3_EXTRA = 63, /* A3 extra, 322 x 445 mm */
    PAPER_A5_EXTRA = 64, /* A5 extra, 174 x 235 mm */
    PAPER_B5_EXTRA = 65, /* ISO B5 extra, 201 x 276 mm */
    PAPER_A2 = 66, /* A2, 420 x 594 mm */
    PAPER_A3_TRANSVERSE = 67, /* A3 transverse, 297 x 420 mm */
    PAPER_A3_EXTRA_TRANSVERSE = 68, /* A3 extra transverse, 322 x 445 mm */
    PAPER_DBL_JAPANESE_POSTCARD = 69, /* Japanese double postcard, 200 x 148 mm */
    PAPER_A6 = 70, /* A6, 105 x 148 mm */
    PAPER_JENV_KAKU2 = 71, /* Japanese envelope Kaku #2 */
    PAPER_JENV_KAKU3 = 72, /* Japanese envelope Kaku #3 */
    PAPER_JENV_CHOU3 = 73, /* Japanese envelope Chou #3 */
    PAPER_JENV_CHOU4 = 74, /* Japanese envelope Chou #4 */
    PAPER_LETTER_ROTATED = 75, /* Letter rotated, 11 x 8 1/2 in */
    PAPER_A3_ROTATED = 76, /* A3 rotated, 420 x 297 mm */
    PAPER_A4_ROTATED = 77, /* A4 rotated, 297 x 210 mm */
    PAPER_A5_ROTATED = 78, /* A5 rotated, 210 x 148 mm */
    PAPER_B4_JIS_ROTATED = 79, /* B4 (JIS) rotated, 364 x 257 mm */
    PAPER_B5_JIS_ROTATED = 80, /* B5 (JIS) rotated, 257 x 182 mm */
    PAPER_JAPANESE_POSTCARD_ROTATED = 81, /* Japanese postcard rotated, 148 x 100 mm */
    PAPER_DBL_JAPANESE_POSTCARD_ROTATED = 82, /* Japanese double postcard rotated, 148 x 200 mm */
    PAPER_A6_ROTATED = 83, /* A6 rotated, 148 x 105 mm */
    PAPER_JENV_KAKU2_ROTATED = 84, /* Japanese envelope Kaku #2 rotated */
    PAPER_JENV_KAKU3_ROTATED = 85, /* Japanese envelope Kaku #3 rotated */
    PAPER_JENV_CHOU3_ROTATED = 86, /* Japanese envelope Chou #3 rotated */
    PAPER_JENV_CHOU4_ROTATED = 87, /* Japanese envelope Chou #4 rotated */
    PAPER_B6_JIS = 88, /* B6 (JIS), 128 x 182 mm */
    PAPER_B6_JIS_ROTATED = 89, /* B6 (JIS) rotated, 182 x 128 mm */
    PAPER_12X11 = 90, /* 12 x 11 in */
    PAPER_JENV_YOU4 = 91, /* Japanese envelope You #4 */
    PAPER_JENV_YOU4_ROTATED = 92, /* Japanese envelope You #4 rotated */
    PAPER_P16K = 93, /* PRC 16K, 146 x 215 mm */
    PAPER_P32K = 94, /* PRC 32K, 97 x 151 mm */
    PAPER_P32KBIG = 95, /* PRC 32K big, 97 x 151 mm */
    PAPER_PENV_1 = 96, /* PRC envelope #1, 102 x 165 mm */
    PAPER_PENV_2 = 97, /* PRC envelope #2, 102 x 176 mm */
    PAPER_PENV_3 = 98, /* PRC envelope #3, 125 x 176 mm */
    PAPER_PENV_4 = 99, /* PRC envelope #4, 110 x 208 mm */
    PAPER_PENV_5 = 100, /* PRC envelope #5, 110 x 220 mm */
    PAPER_PENV_6 = 101, /* PRC envelope #6, 120 x 230 mm */
    PAPER_PENV_7 = 102, /* PRC envelope #7, 160 x 230 mm */
    PAPER_PENV_8 = 103, /* PRC envelope #8, 120 x 309 mm */
    PAPER_PENV_9 = 104, /* PRC envelope #9, 229 x 324 mm */
    PAPER_PENV_10 = 105, /* PRC envelope #10, 324 x 458 mm */
    PAPER_P16K_ROTATED = 106, /* PRC 16K rotated */
    PAPER_P32K_ROTATED = 107, /* PRC 32K rotated */
    PAPER_P32KBIG_ROTATED = 108, /* PRC 32K big rotated */
    PAPER_PENV_1_ROTATED = 109, /* PRC envelope #1 rotated */
    PAPER_PENV_2_ROTATED = 110, /* PRC envelope #2 rotated */
    PAPER_PENV_3_ROTATED = 111, /* PRC envelope #3 rotated */
    PAPER_PENV_4_ROTATED = 112, /* PRC envelope #4 rotated */
    PAPER_PENV_5_ROTATED = 113, /* PRC envelope #5 rotated */
    PAPER_PENV_6_ROTATED = 114, /* PRC envelope #6 rotated */
    PAPER_PENV_7_ROTATED = 115, /* PRC envelope #7 rotated */
    PAPER_PENV_8_ROTATED = 116, /* PRC envelope #8 rotated */
    PAPER_PENV_9_ROTATED = 117, /* PRC envelope #9 rotated */
    PAPER_PENV_10_ROTATED = 118 /* PRC envelope #10 rotated */
} PaperEnum;

/* Preset table styles of td_set_preset_style, in the order of their names. */
typedef enum TableStyleEnum {
    TABLESTYLE_LIGHT1 = 0, /* "TableStyleLight1" */
    TABLESTYLE_LIGHT2 = 1,
    TABLESTYLE_LIGHT3 = 2,
    TABLESTYLE_LIGHT4 = 3,
    TABLESTYLE_LIGHT5 = 4,
    TABLESTYLE_LIGHT6 = 5,
    TABLESTYLE_LIGHT7 = 6,
    TABLESTYLE_LIGHT8 = 7,
    TABLESTYLE_LIGHT9 = 8,
    TABLESTYLE_LIGHT10 = 9,
    TABLESTYLE_LIGHT11 = 10,
    TABLESTYLE_LIGHT12 = 11,
    TABLESTYLE_LIGHT13 = 12,
    TABLESTYLE_LIGHT14 = 13,
    TABLESTYLE_LIGHT15 = 14,
    TABLESTYLE_LIGHT16 = 15,
    TABLESTYLE_LIGHT17 = 16,
    TABLESTYLE_LIGHT18 = 17,
    TABLESTYLE_LIGHT19 = 18,
    TABLESTYLE_LIGHT20 = 19,
    TABLESTYLE_LIGHT21 = 20,
    TABLESTYLE_MEDIUM1 = 21, /* "TableStyleMedium1" */
    TABLESTYLE_MEDIUM2 = 22,
    TABLESTYLE_MEDIUM3 = 23,
    TABLESTYLE_MEDIUM4 = 24,
    TABLESTYLE_MEDIUM5 = 25,
    TABLESTYLE_MEDIUM6 = 26,
    TABLESTYLE_MEDIUM7 = 27,
    TABLESTYLE_MEDIUM8 = 28,
    TABLESTYLE_MEDIUM9 = 29,
    TABLESTYLE_MEDIUM10 = 30,
    TABLESTYLE_MEDIUM11 = 31,
    TABLESTYLE_MEDIUM12 = 32,
    TABLESTYLE_MEDIUM13 = 33,
    TABLESTYLE_MEDIUM14 = 34,
    TABLESTYLE_MEDIUM15 = 35,
    TABLESTYLE_MEDIUM16 = 36,
    TABLESTYLE_MEDIUM17 = 37,
    TABLESTYLE_MEDIUM18 = 38,
    TABLESTYLE_MEDIUM19 = 39,
    TABLESTYLE_MEDIUM20 = 40,
    TABLESTYLE_MEDIUM21 = 41,
    TABLESTYLE_MEDIUM22 = 42,
    TABLESTYLE_MEDIUM23 = 43,
    TABLESTYLE_MEDIUM24 = 44,
    TABLESTYLE_MEDIUM25 = 45,
    TABLESTYLE_MEDIUM26 = 46,
    TABLESTYLE_MEDIUM27 = 47,
    TABLESTYLE_MEDIUM28 = 48,
    TABLESTYLE_DARK1 = 49, /* "TableStyleDark1" */
    TABLESTYLE_DARK2 = 50,
    TABLESTYLE_DARK3 = 51,
    TABLESTYLE_DARK4 = 52,
    TABLESTYLE_DARK5 = 53,
    TABLESTYLE_DARK6 = 54,
    TABLESTYLE_DARK7 = 55,
    TABLESTYLE_DARK8 = 56,
    TABLESTYLE_DARK9 = 57,
    TABLESTYLE_DARK10 = 58,
    TABLESTYLE_DARK11 = 59
} TableStyleEnum;

#endif /* PLOVER_ENUM_H */
