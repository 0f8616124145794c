#pragma once

#include <functional>
#include <string>

#include "limits/decode_limits.h"
#include "pictures/held/memory_allowance.h"
#include "pictures/metafile_module.h"

namespace tessarin::pictures {

// Gives the metafile module's entry point, loaded on the first call, or
// throws Failure naming `picture` when there is none to be had. The
// decoders are portable: what loads a module at run time is the platform's,
// handed to them by the wiring.
using MetafileRendererLoader = std::function<metafile::RenderFunction(const std::string& picture)>;

// What every decoder is opened with: the limits it decodes within, the
// allowance it holds memory from and what loads the metafile renderer. Made
// once by the wiring (or a test, or a fuzz target); it must outlive every
// picture opened with it.
struct DecodeSetup {
  explicit DecodeSetup(const limits::DecodeLimits& decodeLimits = {},
                       MetafileRendererLoader metafileRenderer = {})
      : limits(decodeLimits),
        allowance(decodeLimits.maxHeldBytes),
        loadMetafileRenderer(std::move(metafileRenderer)) {}

  const limits::DecodeLimits limits;
  held::MemoryAllowance allowance;
  // Empty where metafiles are not drawn: they are then refused.
  const MetafileRendererLoader loadMetafileRenderer;
};

}  // namespace tessarin::pictures
