/*
 * Stillora effect plug-in interface.
 *
 * A plug-in is a shared library in the program's "plugins" folder that carries
 * one image effect. It exports the eight functions below, unmangled (extern
 * "C"), and keeps its display name and its parameter table in its own memory.
 * The host binds the exports by name with dlsym() and calls them from its
 * user-interface thread only, one call at a time.
 *
 * Ownership across the boundary:
 *   - Texts and parameter entries belong to the plug-in and stay valid while
 *     the library is loaded; the host reads them and writes TPluginParam.Value
 *     in place, but never frees them.
 *   - Bitmaps belong to the host. They are temporary copies lent to the plug-in
 *     for the duration of one RunProcBMP call; the plug-in may change both.
 *
 * Calling order used by the host:
 *   1. After loading: Version, then PluginNameGet (the name is listed).
 *   2. Settings dialog: PluginNameGet, GetParamCount, GetParam(0..count-1);
 *      the host then writes Value through the returned pointers.
 *   3. Every effect run: Version; RunProc when it returned
 *      STILLORA_PLUGIN_VERSION_OLD, otherwise RunProcBMP with 32-bit copies.
 *
 * A plug-in written in C++ does not spell these out by hand: see
 * PluginFrame.h, whose STILLORA_PLUGIN macro defines all eight exports from a
 * name, a table-building function and an effect function.
 */
#ifndef STILLORA_PLUGIN_H
#define STILLORA_PLUGIN_H

#include <stddef.h>
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

/* Variant type tags that occur in parameter values. Readers accept any of
 * them; writers store integers as I4 and booleans as BOOL. */
#define STILLORA_VT_EMPTY 0
#define STILLORA_VT_I4 3    /* 32-bit signed integer */
#define STILLORA_VT_BOOL 11 /* boolean: true is -1, false is 0 */
#define STILLORA_VT_UI1 17  /* unsigned byte (defaults of integer parameters) */

/* A 16-byte variant in the OLE layout: a type tag, three reserved words and
 * eight bytes of payload. Only plain integers and booleans are used, so a
 * variant owns nothing and is copied byte for byte. */
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

/* Value kinds (TPluginParam.ValueKind). */
#define STILLORA_VALUE_INTEGER 1
#define STILLORA_VALUE_BOOLEAN 6
/* Control kinds: the editor the host's settings dialog builds. */
#define STILLORA_CONTROL_TRACKBAR 1
#define STILLORA_CONTROL_CHECKBOX 3
#define STILLORA_CONTROL_KNOB 7
/* Editor position chosen by the dialog (TPluginParam.Left and .Top). */
#define STILLORA_POSITION_AUTO (-1)

/* One parameter entry. The host holds pointers into the plug-in's table and
 * writes Value in place, so field order and widths are part of the interface
 * (checked by the static assertions below). */
typedef struct TPluginParam {
    const char* Name;        /* NUL-terminated 8-bit text, owned by the plug-in */
    uint16_t ValueKind;      /* STILLORA_VALUE_*; the host does not read it */
    uint16_t ControlKind;    /* STILLORA_CONTROL_*; any other value: no editor */
    TPluginVariant Value;    /* current value, written by the host */
    TPluginVariant MinValue; /* lower bound of integer editors */
    TPluginVariant MaxValue; /* upper bound of integer editors */
    int32_t Left;            /* editor x position in the dialog, -1 = automatic */
    int32_t Top;             /* editor y position, -1 = automatic (next row) */
} TPluginParam;

/* ---- The eight exports, by name, with their contracts ---------------------- */

/** Required: "Version". Returns STILLORA_PLUGIN_VERSION (512). */
typedef uint16_t (*TVersionProc)(void);

/** Required: "PluginNameGet". Returns the display name (at most 127 bytes plus
 *  NUL), always the same pointer into the plug-in's 128-byte name buffer; the
 *  host must not free or write it. */
typedef const char* (*TPluginNameGetProc)(void);

/** Required: "SetParam". Copies *value into entry index's Value when
 *  0 <= index < count; otherwise does nothing. The plug-in only reads *value,
 *  which stays owned by the caller. */
typedef void (*TSetParamProc)(int32_t index, const TPluginVariant* value);

/** Required: "ParamExists". Returns 1 exactly when 0 <= index < count, else 0. */
typedef uint8_t (*TParamExistsProc)(int32_t index);

/** Required: "GetParamCount". Returns the number of parameter entries (>= 0). */
typedef int32_t (*TGetParamCountProc)(void);

/** Required: "GetParam". Returns a pointer to the plug-in's own entry, or NULL
 *  when index is outside 0..count-1. The entry stays owned by the plug-in and
 *  valid while the library is loaded; the host may write its Value. */
typedef TPluginParam* (*TGetParamProc)(int32_t index);

/** Required: "RunProcBMP". Runs the effect: reads source, writes dest. Returns
 *  at once when either pointer is NULL. Both bitmaps are owned by the host and
 *  lent for this call only; the plug-in may change both (it converts them to
 *  24 bits per pixel while it works) and leaves dest at 32 bits per pixel.
 *  Errors are thrown as C++ exceptions derived from std::runtime_error
 *  (TPluginError, PluginError.h) and propagate to the host. */
typedef void (*TRunProcBMPProc)(TPluginBitmap* source, TPluginBitmap* dest);

/** Required: "RunProc". Hand-over for plug-ins whose Version returns
 *  STILLORA_PLUGIN_VERSION_OLD; for every 512 plug-in it does nothing. */
typedef void (*TRunProcProc)(void* source, void* dest);

#ifdef __cplusplus
}
#endif

/* ---- Layout checks: the host and third-party plug-ins must agree ----------- */
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
#ifdef __cplusplus
#define STILLORA_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define STILLORA_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
STILLORA_STATIC_ASSERT(sizeof(TPluginVariant) == 16, "TPluginVariant is 16 bytes");
STILLORA_STATIC_ASSERT(offsetof(TPluginVariant, u) == 8, "variant payload at offset 8");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, Name) == 0, "Name at offset 0");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, ValueKind) == 8, "ValueKind at offset 8");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, ControlKind) == 10, "ControlKind at offset 10");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, Value) == 16, "Value at offset 16");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, MinValue) == 32, "MinValue at offset 32");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, MaxValue) == 48, "MaxValue at offset 48");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, Left) == 64, "Left at offset 64");
STILLORA_STATIC_ASSERT(offsetof(TPluginParam, Top) == 68, "Top at offset 68");
STILLORA_STATIC_ASSERT(sizeof(TPluginParam) == 72, "TPluginParam is 72 bytes");
#undef STILLORA_STATIC_ASSERT
#endif

#endif /* STILLORA_PLUGIN_H */
