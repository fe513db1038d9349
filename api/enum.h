/* Public enumerations of plover. Their numeric values are part of the boundary. */
#ifndef PLOVER_ENUM_H
#define PLOVER_ENUM_H

/* The type of a cell's value. */
typedef enum CellTypeEnum {
    CELLTYPE_NONE = -1, /* failure */
    CELLTYPE_EMPTY = 0,
    CELLTYPE_NUMBER = 1,
    CELLTYPE_TEXT = 2,
    CELLTYPE_BOOLEAN = 3,
    CELLTYPE_DATETIME = 4,
    CELLTYPE_ERROR = 5
} CellTypeEnum;

/* A cell's error value; 0 is no error. */
typedef enum ErrorCodeEnum {
    ERRORCODE_NONE = 0,
    ERRORCODE_NULL = 1,         /* #NULL! */
    ERRORCODE_DIV0 = 2,         /* #DIV/0! */
    ERRORCODE_VALUE = 3,        /* #VALUE! */
    ERRORCODE_REF = 4,          /* #REF! */
    ERRORCODE_NAME = 5,         /* #NAME? */
    ERRORCODE_NUM = 6,          /* #NUM! */
    ERRORCODE_NA = 7,           /* #N/A */
    ERRORCODE_GETTING_DATA = 8, /* #GETTING_DATA */
    ERRORCODE_SPILL = 9         /* #SPILL! */
} ErrorCodeEnum;

#endif /* PLOVER_ENUM_H */
