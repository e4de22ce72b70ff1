#pragma once
// Symbol visibility for the shared plug-in kit (libstillora_pluginkit.so).
// The kit and the plug-ins are built with -fvisibility=hidden; whatever the
// host or a plug-in calls in the kit is marked STILLORA_KIT_API, and the eight
// exports of a plug-in are marked STILLORA_PLUGIN_EXPORT.

#if defined(__GNUC__) || defined(__clang__)
#define STILLORA_KIT_API __attribute__((visibility("default")))
#define STILLORA_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define STILLORA_KIT_API
#define STILLORA_PLUGIN_EXPORT
#endif
