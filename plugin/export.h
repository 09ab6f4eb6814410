// The one place that decides how an entry point leaves the plug-in.
#pragma once

#if defined(_WIN32)
#define EXTIO_API extern "C" __declspec(dllexport)
#define EXTIO_CALL __stdcall
#else
#define EXTIO_API extern "C" __attribute__((visibility("default")))
#define EXTIO_CALL
#endif
