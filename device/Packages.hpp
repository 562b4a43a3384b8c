// The device's package database: its own system registered as packages, and packages installed and
// removed by the host's dpkg run inside the device.
#pragma once

#include "DeviceFiles.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace device {

// Registers the device's system in its dpkg database as the packages a jailbroken phone lists:
// `firmware` at `systemVersion`, the hooking framework as `mobilesubstrate` and the Settings
// app's loader as `preferenceloader`, so that dpkg checks a tweak's dependencies for real.
void registerSystem(const DeviceFiles& files, const std::string& systemVersion);

// Installs the .deb files `packages` into the device at `root` with `dpkg --install`, run inside
// the device so that no link in it leads dpkg outside. dpkg's messages go to standard error. A
// package that dpkg refuses to configure (unmet dependencies, say) and that was not installed
// before is removed again, so that a refused tweak is not left loaded. Throws Error on failure.
void installPackages(const std::filesystem::path& root, const std::vector<std::filesystem::path>& packages);

// Removes the installed package `name` (`dpkg --remove`); what its users wrote stays.
void removePackage(const std::filesystem::path& root, const std::string& name);

} // namespace device
