/*
 * Stillora effect plug-in interface.
 *
 * A plug-in is a shared library in the program's "plugins" folder that carries
 * one image effect. It exports the eight functions below, unmangled, and keeps
 * its display name and its parameter table in its own memory. The host binds
 * the exports by name with dlsym().
 */
#ifndef STILLORA_PLUGIN_H
#define STILLORA_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
class TPluginBitmap; /* the shared bitmap class, see PluginBitmap.h */
extern "C" {
#else
typedef struct TPluginBitmap TPluginBitmap;
#endif

/* Version word every plug-in of this interface returns. */
#define STILLORA_PLUGIN_VERSION 512
/* Older hand-over: the host calls RunProc instead of RunProcBMP. */
#define STILLORA_PLUGIN_VERSION_OLD 256
/* Size of the plug-in's name buffer, including the terminating NUL. */
#define STILLORA_PLUGIN_NAME_SIZE 128

/* Variant type tags that occur in parameter values. */
#define STILLORA_VT_I4 3    /* 32-bit signed integer */
#define STILLORA_VT_BOOL 11 /* boolean: true is -1, false is 0 */
#define STILLORA_VT_UI1 17  /* unsigned byte */

/* A 16-byte variant in the OLE layout: a type tag, three reserved words and
 * eight bytes of payload. */
typedef struct TPluginVariant {
    uint16_t vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    union {
        int32_t lVal;    /* STILLORA_VT_I4 */
        int16_t boolVal; /* STILLORA_VT_BOOL */
        uint8_t bVal;    /* STILLORA_VT_UI1 */
        int64_t llVal;   /* keeps the payload eight bytes wide */
    } u;
} TPluginVariant;

/* Value kinds */
#define STILLORA_VALUE_INTEGER 1
#define STILLORA_VALUE_BOOLEAN 6
/* Control kinds: the editor the host's settings dialog builds. */
#define STILLORA_CONTROL_TRACKBAR 1
#define STILLORA_CONTROL_CHECKBOX 3
#define STILLORA_CONTROL_KNOB 7

/* One parameter entry. The host holds pointers into the plug-in's table and
 * writes Value in place, so field order and widths are part of the interface. */
typedef struct TPluginParam {
    const char* Name;     /* NUL-terminated, owned by the plug-in */
    uint16_t ValueKind;   /* STILLORA_VALUE_* */
    uint16_t ControlKind; /* STILLORA_CONTROL_*; any other value: no editor */
    TPluginVariant Value;
    TPluginVariant MinValue;
    TPluginVariant MaxValue;
    int32_t Left; /* editor position in the dialog, -1 = automatic */
    int32_t Top;  /* -1 = automatic (next row) */
} TPluginParam;

/* Function types of the eight exports. */
typedef uint16_t (*TVersionProc)(void);
typedef const char* (*TPluginNameGetProc)(void);
typedef void (*TSetParamProc)(int32_t index, const TPluginVariant* value);
typedef uint8_t (*TParamExistsProc)(int32_t index);
typedef int32_t (*TGetParamCountProc)(void);
typedef TPluginParam* (*TGetParamProc)(int32_t index);
typedef void (*TRunProcBMPProc)(TPluginBitmap* source, TPluginBitmap* dest);
typedef void (*TRunProcProc)(void* source, void* dest);

#ifdef __cplusplus
}
#endif

#endif /* STILLORA_PLUGIN_H */
