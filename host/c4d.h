// The plug-in's view of the host: SDK-style classes over the plain C host table.
//
// Node-like host objects (documents, materials, shaders, render settings,
// tracks, noise generators) are opaque: a `BaseShader*` is the host's handle,
// and its member functions call through the host table. Containers, gradients
// and description IDs are small value classes that own or borrow a handle.
// Nothing here throws across the host boundary; failures are empty results.
#pragma once

#include "nocturnia_abi.h"

#include <cstdint>
#include <string>

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Float = double;
using Bool = bool;
using String = std::string;

// The host table bound by c4d_main action 1; null before that.
const NocHostTable* HostTable();

struct Vector {
    Float x = 0.0, y = 0.0, z = 0.0;
    constexpr Vector() = default;
    constexpr Vector(Float ax, Float ay, Float az) : x(ax), y(ay), z(az) {}
    constexpr explicit Vector(Float v) : x(v), y(v), z(v) {}
};

// Component-wise arithmetic, as the SDK's vector has it. Each component is
// one operation, so an expression keeps the order of operations it spells.
constexpr Vector operator+(const Vector& a, const Vector& b) { return Vector(a.x + b.x, a.y + b.y, a.z + b.z); }
constexpr Vector operator-(const Vector& a, const Vector& b) { return Vector(a.x - b.x, a.y - b.y, a.z - b.z); }
constexpr Vector operator*(const Vector& a, const Vector& b) { return Vector(a.x * b.x, a.y * b.y, a.z * b.z); }
constexpr Vector operator*(const Vector& a, Float s) { return Vector(a.x * s, a.y * s, a.z * s); }
constexpr Vector operator*(Float s, const Vector& a) { return Vector(s * a.x, s * a.y, s * a.z); }

// ---- description IDs -------------------------------------------------------

struct DescLevel {
    Int32 id = 0;
    Int32 dtype = 0;
    Int32 creator = 0;
    constexpr DescLevel() = default;
    constexpr DescLevel(Int32 i) : id(i) {}  // NOLINT: implicit like the SDK
    constexpr DescLevel(Int32 i, Int32 t, Int32 c) : id(i), dtype(t), creator(c) {}
};

class DescID {
public:
    DescID() = default;
    DescID(Int32 id);  // NOLINT: one level, implicit like the SDK
    DescID(const DescLevel& a);
    DescID(const DescLevel& a, const DescLevel& b);
    explicit DescID(const NocDescID& raw) : raw_(raw) {}
    Int32 GetDepth() const { return raw_.depth; }
    const DescLevel operator[](Int32 level) const;  // level beyond the depth: an empty level
    // True when every level of this ID equals the level at the same depth of
    // `whole`, i.e. this ID is a leading part of `whole` (ids compared only).
    // `pos`, when given, receives the number of levels matched.
    Bool IsPartOf(const DescID& whole, Int32* pos) const;
    const NocDescID& Raw() const { return raw_; }

private:
    NocDescID raw_{};
};

class BaseList2D;
class BaseDocument;
class Gradient;

// ---- values ----------------------------------------------------------------

class BaseContainer;

// One value of any container type. A gradient or container held here is a
// copy owned by the GeData.
class GeData {
public:
    GeData() = default;
    GeData(Bool v);                               // NOLINT
    GeData(Int32 v);                              // NOLINT
    GeData(Float v);                              // NOLINT
    GeData(const Vector& v);                      // NOLINT
    GeData(const String& v);                      // NOLINT
    GeData(const char* v);                        // NOLINT
    GeData(const BaseContainer& v);               // NOLINT
    GeData(Int32 customType, const Gradient& g);  // custom data type NOC_DA_GRADIENT
    explicit GeData(const NocData& raw);          // deep copy of a host value
    GeData(const GeData& other);
    GeData& operator=(const GeData& other);
    ~GeData();
    static GeData Link(BaseList2D* node);  // a shader link

    Int32 GetType() const { return raw_.type; }
    Bool GetBool() const;
    Int32 GetInt32() const;
    Float GetFloat() const;
    Vector GetVector() const;
    String GetString() const;
    const Gradient* GetGradient() const;         // borrowed from this GeData; null unless a gradient
    const NocData& Raw() const { return raw_; }  // pointers borrowed from this GeData

private:
    void CopyFrom(const NocData& src);
    void Release();
    NocData raw_{};
    String text_;                     // storage behind raw_.s
    NocContainer* holder_ = nullptr;  // owns the copy behind raw_.p for gradients and containers
};

// The host's parameter container. A BaseContainer either owns its handle (made
// here, cloned, or returned by the host as owned) or borrows one (a node's own
// container, a description entry's settings).
class BaseContainer {
public:
    BaseContainer();  // a new, empty, owned container
    static BaseContainer Borrow(NocContainer* handle);
    static BaseContainer Adopt(NocContainer* handle);  // takes ownership
    BaseContainer(const BaseContainer& other);         // deep copy, owned
    BaseContainer& operator=(const BaseContainer& other);
    BaseContainer(BaseContainer&& other) noexcept;
    BaseContainer& operator=(BaseContainer&& other) noexcept;
    ~BaseContainer();

    Bool IsValid() const { return handle_ != nullptr; }
    NocContainer* Handle() const { return handle_; }

    // Typed getters: the default for an absent ID or an incompatible value.
    Bool GetBool(Int32 id, Bool preset = false) const;
    Int32 GetInt32(Int32 id, Int32 preset = 0) const;
    Float GetFloat(Int32 id, Float preset = 0.0) const;
    Vector GetVector(Int32 id, const Vector& preset = Vector()) const;
    String GetString(Int32 id, const String& preset = String()) const;
    // The linked node when it is alive in `doc` (any document when null).
    BaseList2D* GetLink(Int32 id, const BaseDocument* doc) const;
    // A gradient entry, borrowed from the container; null when absent.
    const Gradient* GetGradient(Int32 id) const;
    Bool GetData(Int32 id, GeData& out) const;
    Bool Contains(Int32 id) const;

    void SetBool(Int32 id, Bool v);
    void SetInt32(Int32 id, Int32 v);
    void SetFloat(Int32 id, Float v);
    void SetVector(Int32 id, const Vector& v);
    void SetString(Int32 id, const String& v);
    void SetLink(Int32 id, BaseList2D* node);  // null clears the link
    void SetContainer(Int32 id, const BaseContainer& v);
    void SetData(Int32 id, const GeData& v);
    Bool RemoveData(Int32 id);

private:
    BaseContainer(NocContainer* handle, Bool owned) : handle_(handle), owned_(owned) {}
    NocContainer* handle_ = nullptr;
    Bool owned_ = false;
};

// ---- gradients -------------------------------------------------------------

constexpr Int32 CUSTOMDATATYPE_GRADIENT = NOC_DA_GRADIENT;
constexpr Int32 GRADIENT_INTERPOLATION_SMOOTHKNOT = 2;
constexpr Int32 GRADIENT_INTERPOLATION_NONE = 5;
constexpr Int32 GRADIENT_MODE = 1002;  // gradient setting written with 0

struct GradientKnot {
    Vector col;
    Float brightness = 1.0;
    Float pos = 0.0;
    Float bias = 0.5;
    Int32 interpolation = GRADIENT_INTERPOLATION_SMOOTHKNOT;
    Int32 index = 0;
};

class InitRenderStruct;

// Shared, read-only sampling data of a gradient for one render. Empty when the
// gradient yields none; colour lookups are safe from any number of threads.
class GradientRenderData {
public:
    GradientRenderData() = default;
    GradientRenderData(const GradientRenderData&) = delete;
    GradientRenderData& operator=(const GradientRenderData&) = delete;
    GradientRenderData(GradientRenderData&& other) noexcept;
    GradientRenderData& operator=(GradientRenderData&& other) noexcept;
    ~GradientRenderData();
    Bool IsPopulated() const { return data_ != nullptr; }
    // The colour at a position; black when empty.
    Vector CalcGradientPixel(Float pos) const;
    // The host's default sampling data (not owned; may be empty).
    static const NocGradientRender* HostDefault();
    // The colour of any sampling data at a position; black when `data` is null.
    static Vector ColorAt(const NocGradientRender* data, Float pos);
    explicit GradientRenderData(NocGradientRender* owned) : data_(owned) {}
    const NocGradientRender* Handle() const { return data_; }

private:
    NocGradientRender* data_ = nullptr;
};

// The result of preparing a gradient for a render: an error, or data (which
// may be empty).
struct GradientRenderResult {
    Bool failed = false;
    GradientRenderData data;
};

class Gradient {
public:
    static Gradient* Alloc();  // null when the host cannot allocate one
    static void Free(Gradient*& g);
    Int32 InsertKnot(const GradientKnot& knot);  // knot index, or -1
    Int32 GetKnotCount() const;
    GradientKnot GetKnot(Int32 index) const;
    void SetData(Int32 id, const GeData& value);
    GeData GetData(Int32 id) const;
    GradientRenderResult PrepareRenderData(const InitRenderStruct& irs) const;
    NocGradient* Handle() const { return reinterpret_cast<NocGradient*>(const_cast<Gradient*>(this)); }
    static Gradient* From(NocGradient* h) { return reinterpret_cast<Gradient*>(h); }
};

// ---- nodes -----------------------------------------------------------------

class CTrack;

// Every host node. The pointer is the host's handle.
class BaseList2D {
public:
    Int32 GetType() const;
    BaseContainer GetDataInstance();  // borrowed view of the node's own container
    BaseDocument* GetDocument();
    Bool Message(Int32 type, void* data = nullptr);
    Bool SetParameter(const DescID& id, const GeData& value, Int32 flags);
    CTrack* GetFirstCTrack();
    CTrack* FindCTrack(const DescID& id);
    NocNode* Handle() { return reinterpret_cast<NocNode*>(this); }
    static BaseList2D* From(NocNode* h) { return reinterpret_cast<BaseList2D*>(h); }

    BaseList2D() = delete;  // handles are never constructed
};
using GeListNode = BaseList2D;

class BaseMaterial : public BaseList2D {};

class RenderData : public BaseList2D {};

class BaseDocument : public BaseList2D {
public:
    RenderData* GetActiveRenderData();  // null when there are none
};

class InitRenderStruct {
public:
    InitRenderStruct() = default;  // default values: no document
    BaseDocument* doc = nullptr;
    NocInitRender Raw() const { return NocInitRender{reinterpret_cast<NocNode*>(doc)}; }
};

using VolumeData = NocVolumeData;    // only the hit point `p` is touched
using ChannelData = NocChannelData;  // p, n, d, t, texflag, vd, off, scale

class BaseShader : public BaseList2D {
public:
    BaseMaterial* GetMain();  // the material owning this shader, or null
    Int32 InitRender(const InitRenderStruct& irs);
    Vector Sample(ChannelData* cd);
    void FreeRender();
    void Remove();                     // unlinks and frees a child shader (the host does both)
    static void Free(BaseShader*& s);  // frees a child shader that was Remove()d
};

class CTrack {
public:
    CTrack* GetNext();
    String GetName() const;
    void Remove();
    static void Free(CTrack*& t);
    NocTrack* Handle() { return reinterpret_cast<NocTrack*>(this); }
    CTrack() = delete;
};

// ---- noise -----------------------------------------------------------------

constexpr Int32 NOISE_TYPE_32 = 32;

class C4DNoise {
public:
    static C4DNoise* Alloc(Int32 seed);  // null when none can be created
    static void Free(C4DNoise*& n);
    Bool InitFbm(Int32 maxOctaves, Float lacunarity, Float h);
    // Safe from many threads once InitFbm has run.
    Float Noise(Int32 type, Bool twoD, const Vector& p, Float time, Float octaves, Bool absolute, Float sampleRad,
                Float detailAtt, Int32 tRepeat) const;
    C4DNoise() = delete;
};

// ---- descriptions ----------------------------------------------------------

class Description {
public:
    Bool LoadDescription(Int32 nodeType);
    // Null: every entry is wanted. The ID is a per-thread copy, valid until
    // the next call on the same thread.
    const DescID* GetSingleDescID();
    Bool SetParameter(const DescID& id, const BaseContainer& settings, const DescID& parentGroup);
    // A borrowed view of an entry's settings: edits go straight to the host's
    // entry, and the view stays usable while the description holds the entry.
    // Not valid (IsValid() false) when the entry is absent.
    BaseContainer GetParameterI(const DescID& id);
    Description() = delete;
    NocDescription* Handle() { return reinterpret_cast<NocDescription*>(this); }
    static Description* From(NocDescription* h) { return reinterpret_cast<Description*>(h); }
};

BaseContainer GetCustomDataTypeDefault(Int32 dtype);

enum DESCFLAGS_DESC : Int32 { DESCFLAGS_DESC_NONE = 0, DESCFLAGS_DESC_LOADED = NOC_DESCFLAGS_LOADED };

// ---- node messages -------------------------------------------------------------

constexpr Int32 MSG_UPDATE = NOC_MSG_UPDATE;
constexpr Int32 MSG_DESCRIPTION_COMMAND = NOC_MSG_DESCRIPTION_COMMAND;
using DescriptionCommand = NocDescriptionCommand;  // data of MSG_DESCRIPTION_COMMAND

// ---- plug-in classes ---------------------------------------------------------

// Base of every node plug-in; the defaults answer as the host's base does.
class NodeData {
public:
    virtual ~NodeData() = default;
    virtual Bool Init(GeListNode* node)
    {
        (void)node;
        return true;
    }
    virtual Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, Int32 flags)
    {
        (void)dest;
        (void)snode;
        (void)dnode;
        (void)flags;
        return true;
    }
    virtual Bool Message(GeListNode* node, Int32 type, void* data)
    {
        (void)node;
        (void)type;
        (void)data;
        return true;
    }
    virtual Bool GetDDescription(GeListNode* node, Description* description, Int32& flags);
    virtual Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, Int32 flags,
                              const BaseContainer* itemDescription)
    {
        (void)node;
        (void)id;
        (void)value;
        (void)flags;
        (void)itemDescription;
        return true;
    }
};

class ShaderData : public NodeData {
public:
    virtual Int32 InitRender(BaseShader* sh, const InitRenderStruct& irs)
    {
        (void)sh;
        (void)irs;
        return NOC_INITRENDER_OK;
    }
    virtual void FreeRender(BaseShader* sh) { (void)sh; }
    virtual Vector Output(BaseShader* sh, ChannelData* cd) = 0;
    // This host's addition (node-table entry output_batch): the colours of
    // `count` samples (colour i to colors[3 i ..]), exactly what Output gives
    // each. The host asks for it only where the shader was registered with
    // ShaderEntries::OutputBatch, and otherwise calls Output per sample
    // itself; reached without an override it answers black, as a failed call.
    virtual void OutputBatch(BaseShader* sh, ChannelData* samples, Int32 count, double* colors)
    {
        (void)sh;
        (void)samples;
        for (Int32 i = 0; i < 3 * count; ++i) colors[i] = 0.0;
    }
    virtual Int32 GetRenderInfo(BaseShader* sh)
    {
        (void)sh;
        return 0;
    }
    // This host's addition (node-table entry work_cost): what one Output call
    // costs under the current parameters. False: the shader cannot tell.
    virtual Bool GetWorkCost(BaseShader* sh, NocWorkCost& cost)
    {
        (void)sh;
        (void)cost;
        return false;
    }
};

// Creates one plug-in object; null when memory cannot be obtained.
using DataAllocator = NodeData*();

// Host memory for plug-in objects (the allocator places objects in it).
void* HostAlloc(std::size_t size);
void HostFree(void* block);

// This host's addition to a shader's registration: the optional node-table
// entries its objects answer beyond Output.
enum class ShaderEntries : Int32 {
    Output = 0,       // Output alone: the host samples one call per sample
    OutputBatch = 1,  // OutputBatch too (overridden by the shader's class)
};

Bool RegisterShaderPlugin(Int32 id, const String& name, Int32 info, DataAllocator* allocator, const String& description,
                          Int32 diskLevel, ShaderEntries entries = ShaderEntries::Output);

// ---- resources and user output ----------------------------------------------

// The plug-in-wide resource object.
class GeResource {
public:
    Bool Init(const String& folder);  // loads the strings and descriptions of a res folder
    void Free();
    String LoadString(Int32 id) const;  // empty when absent
    Bool IsLoaded() const { return handle_ != nullptr; }

private:
    NocResource* handle_ = nullptr;
};
extern GeResource g_resource;

String GeLoadString(Int32 id);
// The folder of the plug-in library itself (where its res/ lies).
String GeGetPluginPath();

constexpr Int32 GEMB_OK = 0;
constexpr Int32 GEMB_ICONEXCLAMATION = 48;
void MessageDialog(const String& text, Int32 flags = GEMB_OK | GEMB_ICONEXCLAMATION);

// One line of diagnostic output with its source position.
void ApplicationOutputLine(const String& text, const char* file, Int32 line);
#define ApplicationOutput(text) ApplicationOutputLine((text), __FILE__, __LINE__)

// ---- plug-in entry functions (written by the plug-in) -----------------------

Bool PluginStart();
void PluginEnd();
Bool PluginMessage(Int32 id, void* data);
