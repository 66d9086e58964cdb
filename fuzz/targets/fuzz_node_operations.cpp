// Random sequences of what a user and a renderer do with a shader node: press
// buttons (add and remove layers, reset, about), set parameters to arbitrary
// values of their type, describe, prepare a render and sample it. The bytes
// choose the operations and their arguments.
//
// Bounded work: before describing or sampling, the harness clamps the extra
// layer count (at most kMaxLayers) and every layer's Density (at most
// kMaxDensity). Both are legal to store in any size and the program warns
// about the time instead of refusing them; unclamped, one input could ask for
// hours of legal work and libFuzzer's time limit would report that instead
// of real faults. Everything else is left as the bytes chose it.
#include "fuzz_support.h"

#include "runtime/attribute_manager.h"
#include "runtime/document.h"
#include "runtime/render_session.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kExtraLayerCount = 20303;
constexpr std::int32_t kBaseDensity = 5003;
constexpr std::int32_t kFirstLayerGroup = 30051;  // extra layer i: group 30051 + 50 i
constexpr std::int32_t kLayerBlock = 50;
constexpr std::int32_t kDensityOffset = 5;
constexpr std::int32_t kMaxLayers = 6;
constexpr double kMaxDensity = 8.0;

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <class T> T Raw()
    {
        unsigned char buffer[sizeof(T)] = {};
        for (unsigned char& b : buffer) {
            b = Byte();
        }
        T value;
        std::memcpy(&value, buffer, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void ClampWork(nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Container& data = shader.Data();
    const std::int32_t layers = std::clamp(data.GetInt(kExtraLayerCount, 0), 0, kMaxLayers);
    if (data.Has(kExtraLayerCount)) {
        data.SetInt(kExtraLayerCount, layers);
    }
    // The plug-in reads a Density stored as an integer as that number, so an
    // integer is clamped too (and stays an integer).
    const auto clampDensity = [&data](std::int32_t id) {
        const nocturnia::runtime::Value* v = data.Find(id);
        if (v == nullptr) {
            return;
        }
        if (v->Type() == nocturnia::runtime::ValueType::Real) {
            const double d = v->AsReal();
            if (!(d <= kMaxDensity)) {  // also NaN
                data.SetReal(id, kMaxDensity);
            }
        } else if (v->Type() == nocturnia::runtime::ValueType::Int && v->AsInt() > kMaxDensity) {
            data.SetInt(id, static_cast<std::int32_t>(kMaxDensity));
        }
    };
    clampDensity(kBaseDensity);
    for (std::int32_t i = 0; i < kMaxLayers; ++i) {
        clampDensity(kFirstLayerGroup + kLayerBlock * i + kDensityOffset);
    }
}

std::vector<nocturnia::runtime::DescriptionEntry> Describe(nocturnia::runtime::Node& shader)
{
    ClampWork(shader);
    auto entries = nocturnia::runtime::BuildDescription(shader);
    if (!entries) {
        fuzz::Finding("the shader cannot be described: " + entries.error());
    }
    return std::move(entries.value());
}

nocturnia::runtime::Value ValueFor(const nocturnia::runtime::DescriptionEntry& entry, Bytes& bytes)
{
    switch (entry.type) {
    case NOC_DA_BOOL: return nocturnia::runtime::Value::OfBool(bytes.Byte() & 1);
    case NOC_DA_LONG: return nocturnia::runtime::Value::OfInt(bytes.Raw<std::int32_t>());
    case NOC_DA_REAL: return nocturnia::runtime::Value::OfReal(bytes.Raw<double>());
    case NOC_DA_COLOR:
    case NOC_DA_VECTOR: {
        const double x = bytes.Raw<double>(), y = bytes.Raw<double>(), z = bytes.Raw<double>();
        return nocturnia::runtime::Value::OfVector(nocturnia::runtime::Vec3{x, y, z});
    }
    default: return nocturnia::runtime::Value::OfInt(bytes.Raw<std::int32_t>());  // a value of the wrong type
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::LoadedHost();
    nocturnia::runtime::Result<nocturnia::runtime::Document> document = nocturnia::runtime::Document::CreateNew();
    if (!document) {
        fuzz::Finding("cannot create a document: " + document.error());
    }
    nocturnia::runtime::Node& shader = document->Shader();
    Bytes bytes(data, size);
    std::vector<nocturnia::runtime::DescriptionEntry> entries = Describe(shader);
    for (int step = 0; step < 64 && !bytes.Empty(); ++step) {
        switch (bytes.Byte() % 5) {
        case 0: {  // press a button
            std::vector<std::int32_t> buttons;
            for (const auto& e : entries) {
                if (e.type == NOC_DA_BUTTON) {
                    buttons.push_back(e.id);
                }
            }
            if (!buttons.empty()) {
                (void)nocturnia::runtime::PressButton(shader, buttons[bytes.Byte() % buttons.size()]);
            }
            break;
        }
        case 1: {  // set an entry to a value of its type (or not)
            if (!entries.empty()) {
                const auto& entry = entries[bytes.Raw<std::uint16_t>() % entries.size()];
                (void)nocturnia::runtime::SetParameter(shader, entry.id, ValueFor(entry, bytes));
            }
            break;
        }
        case 2: {  // set any ID near the layers' to anything
            const std::int32_t id = kFirstLayerGroup - 30000 + static_cast<std::int32_t>(bytes.Raw<std::uint16_t>());
            const nocturnia::runtime::DescriptionEntry fake{
                .type = static_cast<std::int32_t>((bytes.Byte() & 1) ? NOC_DA_REAL : NOC_DA_LONG)};
            (void)nocturnia::runtime::SetParameter(shader, id, ValueFor(fake, bytes));
            break;
        }
        case 3: entries = Describe(shader); break;
        case 4: {  // prepare a render and sample it
            ClampWork(shader);
            auto session = nocturnia::runtime::RenderSession::Start(shader);
            if (session) {
                for (int i = 0; i < 3; ++i) {
                    const double u = bytes.Raw<double>(), v = bytes.Raw<double>();
                    (void)session.value()->Output(u, v, 0.0);
                }
            }
            break;
        }
        }
    }
    return 0;
}
