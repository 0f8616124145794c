// A module of Tessarin's from another install: the GUI's and the metafile
// renderer's entry points, exported with the interface version STALE_VERSION
// (none when it is not defined). Each call aborts: a program that refuses the
// module as it should calls none.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#define EXPORTED extern "C" __attribute__((visibility("default")))

#ifdef STALE_VERSION
EXPORTED const std::uint32_t tessarin_gui_version = STALE_VERSION;
EXPORTED const std::uint32_t tessarin_metafile_version = STALE_VERSION;
#endif

EXPORTED int tessarin_open_gui(void*, char*, std::size_t) { std::abort(); }
EXPORTED void tessarin_prepare_metafile_fonts() { std::abort(); }
EXPORTED int tessarin_render_metafile(const void*, char*, std::size_t) { std::abort(); }
