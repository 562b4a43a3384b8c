// The device's package database: its own system registered as packages, and packages installed and
// removed by the host's dpkg run inside the device.
#pragma once

#include "DeviceFiles.hpp"
#include "PackageCheck.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace device {

// Registers the device's system in its dpkg database as the packages a jailbroken phone lists:
// `firmware` at `systemVersion`, the hooking framework as `mobilesubstrate` and the Settings
// app's loader as `preferenceloader`, so that dpkg checks a tweak's dependencies for real.
void registerSystem(const DeviceFiles& files, const std::string& systemVersion,
                    const std::string& architecture);

// Gives the device a package manager of its own, as a phone has: apt's configuration (the device's
// architecture, no source yet) and state folders, which the sandbox shows as /etc/apt and /var.
void preparePackageManager(const DeviceFiles& files, const std::string& architecture);

// Copies the package source `folder` (an index and its packages, as `make repo` writes) into the
// device and adds it to apt's sources there, so that `apt-get update` inside finds it. Returns the
// name the source goes by. Throws Error when `folder` is no package source.
std::string addSource(const std::filesystem::path& root, const std::filesystem::path& folder);

// The architecture of the device's packages: the host's, or iphoneos-arm for a device with a phone's
// processor (as its package database records it).
std::string packageArchitecture(const std::filesystem::path& root);
std::string packageArchitecture(const DeviceFiles& device);

// Installs `packages` (checked by checkPackages) into the device at `root` with `dpkg --install`,
// run inside the device so that no link in it leads dpkg outside. dpkg's messages go to standard
// error. When dpkg fails (unmet dependencies, a maintainer script that fails), a package that was
// not installed before is purged again, so that a refused tweak is neither left loaded nor
// recorded, and one that had only its settings left goes back to them; one that was installed
// before stays as dpkg left it. What the package's scripts did elsewhere is not undone. Throws Error
// naming the packages not installed.
void installPackages(const std::filesystem::path& root, const std::vector<CheckedPackage>& packages);

// The caller's PATH with the sbin folders after it: dpkg looks there for the programs it runs on its
// way (ldconfig, start-stop-daemon), which a user's PATH may lack.
std::string dpkgPath();

// A valid dpkg package name: what the tool passes on to dpkg as one.
bool isPackageName(const std::string& name);

// Removes the installed package `name` (`dpkg --remove`); what its users wrote stays.
void removePackage(const std::filesystem::path& root, const std::string& name);

} // namespace device
