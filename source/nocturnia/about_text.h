// What the About button tells: product, version, release, maker, web page.
#pragma once

namespace nocturnia {

constexpr const char* kMakerName = "Quillfen";
constexpr const char* kProductWebPage = "https://www.quillfen.com/nocturnia";
constexpr const char* kAboutText = "Nocturnia 1.1, February 2025\n"
                                   "by Quillfen\n"
                                   "https://www.quillfen.com/nocturnia";

}  // namespace nocturnia
