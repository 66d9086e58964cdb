// A small plug-in written against the host table, linked into the tests, so
// that the host side can be driven without the real shader: it registers one
// shader type with a description from a resource folder made by the test.
#pragma once

#include "nocturnia_abi.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fake {

constexpr std::int32_t kType = 1063226;  // documents ask for this type
constexpr std::int32_t kDensity = 5003;
constexpr std::int32_t kUseLayer = 5001;
constexpr std::int32_t kMode = 5002;
constexpr std::int32_t kLayerCount = 20303;
constexpr std::int32_t kAddLayer = 20301;
constexpr std::int32_t kRemoveLayer = 20302;
constexpr std::int32_t kAbout = 10000;

// What the plug-in saw; reset by Reset().
struct Record {
    std::atomic<int> inits{0};  // action 1
    std::atomic<int> ends{0};   // action 3
    std::atomic<int> allocs{0};
    std::atomic<int> frees{0};
    std::atomic<int> initRenders{0};
    std::atomic<int> freeRenders{0};
    std::atomic<int> copies{0};
    std::atomic<int> lastButton{0};
    NocNode* lastRenderDocument = nullptr;
};

struct Behaviour {
    bool refuseInit = false;          // action 1 answers -3
    std::filesystem::path resFolder;  // where its res folder lies
    std::int32_t registerAs = kType;
};

Record& Seen();
Behaviour& Behave();
void Reset();  // clears Seen() and Behave()

// The plug-in's entry, as a library would export it.
std::int32_t Entry(std::int32_t action, void* p1, void* p2, void* p3);

// Writes a res folder (strings.json and description/XFake.json) into `folder`.
void WriteResources(const std::filesystem::path& folder);

}  // namespace fake
