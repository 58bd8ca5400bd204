// The build manifest: an INI file naming the package's options, settings,
// languages and files, with paths relative to the manifest's folder.
//
//   [Package]   BlockSize, Level, DiskSize, CdSpanning, ShowTempSpaceInfo,
//               ShowActivityBar, AgentLog, CreateAgent, IsAgent,
//               ConfirmDownload
//   [Setup]     Program, Arguments
//   [Settings]  UpdateLocation, InfoFileName, AgentExeName, Token, Silent,
//               PublicKey (a PEM file: the vendor's key, which the agent
//               and the web installer check downloads with; or two,
//               "current.pem, next.pem", during a key rotation)
//   [Download]  Location, FileName, AlwaysDownload, Token, Size
//   [Languages] NAME = FILE | builtin          (in package order)
//   [Files]     NAME = PATH | Folder = PATH   (in package order)
#pragma once

#include <string>

#include "PackageBuilder.h"
#include "package/LanguageDefaults.h"

namespace tarnix::pack {

// Fills everything of `plan` but stubPath. Errors are one line naming the
// file, section and key at fault: "manifest.ini: [Package] Level: must be 0
// to 9".
bool ReadManifest(const std::string& manifestPath, PackageSpec& plan, std::string& error);

// A language file: a [Texts] section with the keys of a language record.
// Keys it lacks take the built-in English text; the result lists every key
// in record order.
bool ReadLanguageFile(const std::string& path, LanguageTexts& texts, std::string& error);

}  // namespace tarnix::pack
