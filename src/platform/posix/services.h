// The parts of the POSIX platform that need large system libraries, HTTP (libcurl) and the desktop
// trash (GIO), live in a module of their own, libkelvora-services.so, which the platform loads the
// first time one of them is used: the window starts without those libraries and their dozens of
// dependencies, and a run that never downloads or trashes anything never loads them. The module is
// linked normally against them, so the packages' dependencies still come from dpkg-shlibdeps.
// It lives in a folder of the package's own library folder, <prefix>/lib/kelvora/modules (or
// lib/<multiarch>/kelvora/modules), which the build tree has too: the program looks for that folder
// below its own folder and the two above it (installed, /usr/bin/kelvora finds
// /usr/lib/kelvora/modules; built, <build>/tests/core/... finds <build>/lib/kelvora/modules).
#pragma once

#include <string>

#include "platform/platform.h"

namespace kelvora::platform::services {

inline constexpr const char* kModuleFile = "libkelvora-services.so";
inline constexpr const char* kEntryPoint = "kelvora_platform_services";
// Changes with the table below, so that a module of another build is refused rather than misread.
inline constexpr int kInterface = 1;

struct Table {
    int interface;
    HttpResult (*httpGet)(const HttpRequest& request, const HttpHandler& handler, std::string& error);
    // Moves the native path into the desktop trash. False with the reason when it did not; then
    // `noTrash` tells that the path's volume has no trash (nothing was changed).
    bool (*trash)(const std::string& path, bool& noTrash, std::string& reason);
};

// The module's table, loaded on the first call; nullptr with the reason when it can't be loaded.
const Table* table(std::string& error);

}  // namespace kelvora::platform::services

// What the module exports (posix/services/module.cpp).
extern "C" const kelvora::platform::services::Table* kelvora_platform_services();
