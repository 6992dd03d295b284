// Replaces the demo's quick.bundle with the new version rebuilt from the carried delta, keeping
// the old bundle as a backup until the rebuild has succeeded.
#pragma once

#include <cstdint>
#include <string>

// The one version the payload was made for; its size is the only test of the version.
constexpr uint64_t kExpectedBundleSize = 1327174142;  // 0x4F1B11FE

// The payload: the executable's own resource of type "DATA" (a named type), id 110.
constexpr char kPayloadResourceType[] = "DATA";
constexpr unsigned kPayloadResourceId = 110;

// `installText` is the non-empty install directory read from the registry. Returns the applier's
// result when the apply ran (no message then: the caller reports it), and false after showing its
// own message on every earlier failure.
bool PatchBundle(const std::string& installText);
