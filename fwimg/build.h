// What the controller-package build (compiled with FWIMG_AC) does differently, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fwimg {

#ifdef FWIMG_AC
inline constexpr bool ac_build = true;
inline constexpr uint32_t DEFAULT_MAGIC = 0x80600001;
inline constexpr char MODULE_PREFIX[] = "vornhelm_";
inline constexpr std::size_t VERSION_TEXT_MAX = 23;
#else
inline constexpr bool ac_build = false;
inline constexpr uint32_t DEFAULT_MAGIC = 0x80800002;
inline constexpr char MODULE_PREFIX[] = "IMG-";
inline constexpr std::size_t VERSION_TEXT_MAX = 28;
#endif

// The plain model text of the controller-package build shares the packed model's work area.
inline constexpr std::size_t PLAIN_MODEL_MAX = 15;

// Buffer limits of the command line's texts (terminating zero included).
inline constexpr std::size_t FILENAME_SIZE = 128;
inline constexpr std::size_t PATH_SIZE = 1024;
inline constexpr std::size_t TYPE_SIZE = 20;

}  // namespace fwimg
