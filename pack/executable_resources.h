// The resources every packed executable carries: the icon (when the project
// gives one), the version information and the application manifest, with
// the defaults a project leaves to the packing tool.
#pragma once

#include <string>
#include <vector>

#include "pack/project.h"
#include "pack/resource_section.h"

// The version texts with their defaults: the product name and the
// description default to the application's name (the description to the
// product name when that is given), the internal name to the application's
// name, the original file name to the executable's file name, and each of
// the two version texts to the other.
VersionTexts completeVersionTexts(VersionTexts texts, const std::u16string& applicationName,
                                  const std::u16string& fileName);

// Icon images and group, version information and manifest. False with the
// reason when a version text gives no fixed number (a default cannot).
bool executableResources(const ResourceSettings& settings, const std::u16string& applicationName,
                         const std::u16string& fileName, std::vector<Resource>* resources, std::string* error);

// The stub of the windowed subsystem is packed when the project asks for
// it, or leaves it open and is a graphical application (executable type 1).
bool wantsWindowedStub(const Project& project);
