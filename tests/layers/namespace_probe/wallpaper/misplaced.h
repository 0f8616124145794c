#pragma once

// A wallpaper/ header that declares its names in the run's namespace: the
// namespace check must refuse it.
namespace tessarin::run {}
