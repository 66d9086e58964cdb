/* The plain C boundary between the host application and the plug-in library.
 *
 * Everything host-side is reached through one NocHostTable that the host hands
 * to c4d_main (action 1, p1). The host reaches a registered node type through a
 * NocNodeTable handed over at registration. Only C types cross: no C++ object,
 * exception, allocator or standard-library type, so a host and a plug-in built
 * by different compilers work together.
 *
 * Conventions
 * - Booleans are int32_t (0 false, anything else true).
 * - Host objects are opaque handles. A handle returned by a "get" is borrowed
 *   (valid while its owner is unchanged); one returned by an "alloc", "clone"
 *   or "prepare" is owned by the caller and released with the matching call.
 * - Strings are UTF-8. A string passed in is borrowed for the call. A string
 *   handed out is copied into the caller's buffer (truncated, always
 *   terminated) and the full length is returned, or -1 when absent.
 * - No host call throws; failures are NULL handles or 0 results.
 */
#ifndef NOCTURNIA_HOST_ABI_H
#define NOCTURNIA_HOST_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The host API version this binding is written against; older hosts are refused. */
#define NOC_HOST_API_VERSION 2024500

/* c4d_main action codes. */
#define NOC_ACTION_INIT 1
#define NOC_ACTION_START 2
#define NOC_ACTION_END 3
#define NOC_ACTION_VERSION 4
#define NOC_ACTION_MESSAGE 6

/* Plug-in messages (PluginMessage ids, sent through action 6). */
#define NOC_PLUGINMSG_SYSTEM_INIT 1

/* Node messages. */
#define NOC_MSG_UPDATE 7
#define NOC_MSG_DESCRIPTION_COMMAND 18

/* Result codes of a shader's render preparation. */
#define NOC_INITRENDER_OK 0
#define NOC_INITRENDER_OUTOFMEMORY (-100)

/* Description flag: the node has filled the description. */
#define NOC_DESCFLAGS_LOADED 2

/* Node types known to the host. */
#define NOC_TYPE_NOCTURNIA_SHADER 1063226 /* the plug-in ID under which the shader registers */
#define NOC_TYPE_STANDARD_MATERIAL 5703
#define NOC_TYPE_COLOR_SHADER 5832       /* built-in shader: one colour everywhere */
#define NOC_TYPE_GRADIENT_SHADER 1011100 /* built-in shader: a gradient along u or v */
#define NOC_TYPE_DOCUMENT 110059
#define NOC_TYPE_RENDER_SETTINGS 110304

/* Parameters of the Nocturnia shader that the host reads itself, to bound what
 * a document may ask for before the shader builds anything: the count of extra
 * star layers, and the layout of their parameter IDs (extra layer i owns the
 * block of NOC_NOCTURNIA_LAYER_BLOCK IDs from NOC_NOCTURNIA_FIRST_LAYER_GROUP +
 * NOC_NOCTURNIA_LAYER_BLOCK * i), whose end at INT32_MAX bounds the count. */
#define NOC_NOCTURNIA_EXTRA_LAYER_COUNT 20303
#define NOC_NOCTURNIA_FIRST_LAYER_GROUP 30051
#define NOC_NOCTURNIA_LAYER_BLOCK 50
#define NOC_NOCTURNIA_MAX_EXTRA_LAYERS                                                                                 \
    ((int32_t)((INT32_MAX - NOC_NOCTURNIA_FIRST_LAYER_GROUP - (NOC_NOCTURNIA_LAYER_BLOCK - 1)) /                       \
                   NOC_NOCTURNIA_LAYER_BLOCK +                                                                         \
               1))

/* Parameters of host nodes that a shader reads or writes. */
#define NOC_RENDERSETTINGS_ASPECT 6006    /* render settings: real, the frame's aspect */
#define NOC_RENDERSETTINGS_ENGINE 5300    /* render settings: integer, the render engine */
#define NOC_RENDERENGINE_HARDWARE 1036219 /* a render engine to which a material's switch does not apply */
#define NOC_MATERIAL_SHADER_SWITCH 2004   /* standard material: integer, set by a shader's render preparation */

/* Value types of a container entry. The numbers are the host's description data
 * types, so a container value and a description entry speak the same language. */
#define NOC_DA_NIL 0
#define NOC_DA_GROUP 1
#define NOC_DA_COLOR 3 /* description type of a colour; stored as NOC_DA_VECTOR */
#define NOC_DA_LONG 15
#define NOC_DA_REAL 19
#define NOC_DA_VECTOR 23
#define NOC_DA_STRING 130
#define NOC_DA_CONTAINER 132
#define NOC_DA_ALIASLINK 133
#define NOC_DA_BUTTON 400006000 /* description type of a button; holds no value */
#define NOC_DA_BOOL 400006001
#define NOC_DA_GRADIENT 1000481

/* Keys of a description entry's settings container. */
#define NOC_DESC_NAME 1
#define NOC_DESC_SHORT_NAME 2
#define NOC_DESC_MIN 5
#define NOC_DESC_MAX 6
#define NOC_DESC_GRADIENT_ALPHA 8 /* gradient entries: the gradient interface's own key */
#define NOC_DESC_STEP 9
#define NOC_DESC_ANIMATE 10 /* 0 off, 1 on */
#define NOC_DESC_UNIT 12
#define NOC_DESC_CYCLE 14 /* a container: cycle value -> label string */
#define NOC_DESC_HIDE 15
#define NOC_DESC_DEFAULT 16
#define NOC_DESC_CUSTOMGUI 21
#define NOC_DESC_COLUMNS 22
#define NOC_DESC_MINSLIDER 27
#define NOC_DESC_MAXSLIDER 28
#define NOC_DESC_SCALEH 30
#define NOC_DESC_SHADERLINK_FLAG 65 /* link entries: the shader-link interface's own key */

/* Units of real entries (DESC_UNIT), the host's four-letter codes. */
#define NOC_UNIT_PERCENT 1718641524 /* 'fpct' */
#define NOC_UNIT_REAL 1718773089    /* 'frea' */
#define NOC_UNIT_DEGREE 1717856114  /* 'fdgr' */

/* Interfaces of entries (DESC_CUSTOMGUI). */
#define NOC_CUSTOMGUI_REALSLIDER 1000489
#define NOC_CUSTOMGUI_GRADIENT 1000480
#define NOC_CUSTOMGUI_TEXBOX 1001066

typedef struct NocContainer NocContainer;
typedef struct NocGradient NocGradient;
typedef struct NocGradientRender NocGradientRender;
typedef struct NocDescription NocDescription;
typedef struct NocNode NocNode; /* any host node: document, material, shader, render settings */
typedef struct NocTrack NocTrack;
typedef struct NocNoise NocNoise;
typedef struct NocResource NocResource;

/* One container value. Which members are meaningful depends on `type`:
 * NOC_DA_BOOL and NOC_DA_LONG: i; NOC_DA_REAL: r; NOC_DA_VECTOR: v;
 * NOC_DA_STRING: s; NOC_DA_ALIASLINK: p is a NocNode* (NULL: empty link);
 * NOC_DA_GRADIENT: p is a NocGradient*; NOC_DA_CONTAINER: p is a NocContainer*.
 * Setting a value copies it (gradients and containers deeply; a link keeps the
 * reference). Getting one hands out pointers borrowed from the container. */
typedef struct NocData {
    int32_t type;
    int32_t i;
    double r;
    double v[3];
    const char* s;
    void* p;
} NocData;

/* One level of a description ID, and an ID of up to four levels. */
typedef struct NocDescLevel {
    int32_t id;
    int32_t dtype;
    int32_t creator;
} NocDescLevel;

typedef struct NocDescID {
    int32_t depth;
    NocDescLevel level[4];
} NocDescID;

/* Data of NOC_MSG_DESCRIPTION_COMMAND: the pressed button. */
typedef struct NocDescriptionCommand {
    NocDescID id;
} NocDescriptionCommand;

/* A gradient knot. */
typedef struct NocKnot {
    double color[3];
    double brightness;
    double position;
    double bias;
    int32_t interpolation;
    int32_t index;
} NocKnot;

/* The host's render description; only the document is read or set. */
typedef struct NocInitRender {
    NocNode* document;
} NocInitRender;

/* The part of a sample's volume data the shader touches: the hit point. */
typedef struct NocVolumeData {
    double p[3];
} NocVolumeData;

/* One sample as the host hands it to a shader's Output. */
typedef struct NocChannelData {
    double p[3]; /* texture point */
    double n[3]; /* normal */
    double d[3]; /* filter delta */
    double t;    /* time in seconds */
    int32_t texflag;
    NocVolumeData* vd; /* may be NULL */
    double off;
    double scale;
} NocChannelData;

/* Callbacks of a registered node type. `self` is what `alloc` returned. Each
 * callback must catch everything: no exception crosses this table. */
/* What one output call costs under the node's current parameters, reported
 * through the optional node-table entry work_cost. The host tells the user
 * before work that will take long, naming the parameter that causes it. */
typedef struct NocWorkCost {
    double units_per_sample; /* relative work of one output call; 1 is one plain star-field pass */
    int32_t heaviest_param;  /* the parameter ID that costs most (e.g. a layer's Density), 0: none */
    int32_t heaviest_group;  /* the group (layer) that parameter belongs to, 0 at the top */
} NocWorkCost;

/* The number of samples a host hands `output_batch` at once, and the most a
 * plug-in evaluates together: both sides size their per-call working arrays by
 * it (a call may still pass any count; the plug-in splits larger ones). */
#define NOC_BATCH_CHUNK 64

typedef struct NocNodeTable {
    int32_t size; /* sizeof(NocNodeTable) as the plug-in knows it; entries past it are absent */
    void* (*alloc)(void);
    void (*free)(void* self, NocNode* node);
    int32_t (*init)(void* self, NocNode* node);
    int32_t (*copy_to)(void* self, NocNode* source, void* dest_self, NocNode* dest, int32_t flags);
    int32_t (*message)(void* self, NocNode* node, int32_t type, void* data);
    int32_t (*get_d_description)(void* self, NocNode* node, NocDescription* description, int32_t* flags);
    int32_t (*get_d_enabling)(void* self, NocNode* node, const NocDescID* id, const NocData* value, int32_t flags,
                              const NocContainer* item_description);
    int32_t (*init_render)(void* self, NocNode* node, const NocInitRender* irs);
    void (*free_render)(void* self, NocNode* node);
    void (*output)(void* self, NocNode* node, NocChannelData* cd, double out[3]);
    int32_t (*get_render_info)(void* self, NocNode* node);

    /* Optional entries follow; a table whose `size` ends before an entry, or
     * whose entry is NULL, does not offer it. */

    /* The colours of `count` samples at once: exactly what `output` would give
     * each of samples[0 .. count-1], written to colours[3 i .. 3 i + 2]. Each
     * sample's channel data may be changed during the call (as by `output`) and
     * is restored before it returns. Called from any number of threads. */
    void (*output_batch)(void* self, NocNode* node, NocChannelData* samples, int32_t count, double* colors);

    /* What one sample costs with the node's parameters: fills *cost and
     * returns 1; 0 when the node cannot tell. */
    int32_t (*work_cost)(void* self, NocNode* node, NocWorkCost* cost);
} NocNodeTable;

/* Whether `table` (of struct type `type`, or NULL) reaches far enough to hold
 * the optional entry `member` and fills it. */
#define NOC_TABLE_OFFERS(table, type, member)                                                                          \
    ((table) != NULL && (table)->size >= (int32_t)(offsetof(type, member) + sizeof((table)->member)) &&                \
     (table)->member != NULL)

/* The size of a node table that offers none of the optional entries. */
#define NOC_NODE_TABLE_BASE_SIZE ((int32_t)offsetof(NocNodeTable, output_batch))

/* Everything the host offers a plug-in. */
typedef struct NocHostTable {
    int32_t size;        /* sizeof(NocHostTable) */
    int32_t api_version; /* at least NOC_HOST_API_VERSION */

    /* memory */
    void* (*mem_alloc)(size_t size); /* NULL when exhausted */
    void (*mem_free)(void* block);

    /* containers */
    NocContainer* (*container_alloc)(void);
    void (*container_free)(NocContainer* c);
    NocContainer* (*container_clone)(const NocContainer* c);
    int32_t (*container_get)(const NocContainer* c, int32_t id, NocData* out); /* 1 when present */
    void (*container_set)(NocContainer* c, int32_t id, const NocData* value);
    int32_t (*container_remove)(NocContainer* c, int32_t id);
    int32_t (*container_count)(const NocContainer* c);
    int32_t (*container_id_at)(const NocContainer* c, int32_t index); /* ids in insertion order */
    /* The node a link entry refers to, when it is alive in `document` (or in any
     * document when `document` is NULL); NULL otherwise. */
    NocNode* (*container_get_link)(const NocContainer* c, int32_t id, NocNode* document);

    /* gradients */
    NocGradient* (*gradient_alloc)(void);
    void (*gradient_free)(NocGradient* g);
    int32_t (*gradient_insert_knot)(NocGradient* g, const NocKnot* knot); /* index, or -1 */
    int32_t (*gradient_knot_count)(const NocGradient* g);
    int32_t (*gradient_get_knot)(const NocGradient* g, int32_t index, NocKnot* out);
    void (*gradient_set_setting)(NocGradient* g, int32_t id, const NocData* value);
    int32_t (*gradient_get_setting)(const NocGradient* g, int32_t id, NocData* out);
    /* Sampling data for a render. Returns the owned data, or NULL with *error 0
     * when the gradient yields none, or NULL with *error 1 on failure. The data
     * answer colour lookups from any number of threads at once. */
    NocGradientRender* (*gradient_prepare)(const NocGradient* g, const NocInitRender* irs, int32_t* error);
    void (*gradient_render_release)(NocGradientRender* data);
    void (*gradient_render_color)(const NocGradientRender* data, double position, double out[3]);
    /* The host's default sampling data, used when a prepared one is empty; may be NULL. */
    const NocGradientRender* (*gradient_default_render)(void);

    /* descriptions */
    int32_t (*description_load)(NocDescription* d, int32_t node_type);
    const NocDescID* (*description_single)(const NocDescription* d); /* NULL: all are wanted */
    int32_t (*description_set_parameter)(NocDescription* d, const NocDescID* id, const NocContainer* settings,
                                         const NocDescID* parent_group);
    NocContainer* (*description_get_parameter)(NocDescription* d, const NocDescID* id); /* mutable, or NULL */
    NocContainer* (*custom_datatype_default)(int32_t dtype); /* owned; settings of a new entry */

    /* nodes */
    int32_t (*node_type)(const NocNode* node);
    NocContainer* (*node_data)(NocNode* node); /* the node's own container */
    NocNode* (*node_document)(NocNode* node);
    NocNode* (*node_main)(NocNode* node); /* the material that owns a shader, or NULL */
    int32_t (*node_message)(NocNode* node, int32_t id, void* data);
    int32_t (*node_set_parameter)(NocNode* node, const NocDescID* id, const NocData* value, int32_t flags);
    void (*node_remove_and_free)(NocNode* node);             /* a child shader: unlinked from its owner and freed */
    NocNode* (*document_render_settings)(NocNode* document); /* active render settings, or NULL */

    /* shaders that a node links to */
    int32_t (*shader_init_render)(NocNode* shader, const NocInitRender* irs);
    void (*shader_sample)(NocNode* shader, NocChannelData* cd, double out[3]);
    void (*shader_free_render)(NocNode* shader);

    /* animation tracks of a node, in the node's track order */
    NocTrack* (*track_first)(NocNode* node);
    NocTrack* (*track_next)(NocTrack* track);
    NocTrack* (*track_find)(NocNode* node, const NocDescID* id);
    int32_t (*track_name)(const NocTrack* track, char* buffer, int32_t size);
    void (*track_remove)(NocTrack* track); /* detached from its node, still to be freed */
    void (*track_free)(NocTrack* track);

    /* fractal noise */
    NocNoise* (*noise_alloc)(int32_t seed);
    int32_t (*noise_init_fbm)(NocNoise* n, int32_t max_octaves, double lacunarity, double increment);
    double (*noise_sample)(const NocNoise* n, int32_t type, int32_t two_d, const double p[3], double time,
                           double octaves, int32_t absolute, double sample_radius, double detail_attenuation,
                           int32_t repeat);
    void (*noise_free)(NocNoise* n);

    /* resources and registration */
    NocResource* (*resource_load)(const char* folder); /* a plug-in's res folder; NULL on failure */
    void (*resource_free)(NocResource* r);
    int32_t (*resource_string)(const NocResource* r, int32_t id, char* buffer, int32_t size);
    int32_t (*register_shader)(int32_t id, const char* name, int32_t info, const NocNodeTable* callbacks,
                               const char* description, int32_t disk_level);

    /* user output */
    void (*message_dialog)(const char* text, int32_t flags);
    void (*console_line)(const char* text, const char* source_file, int32_t source_line);

    /* Optional entries follow (check `size`; NULL: not offered). */

    /* gradient_render_color at positions[0 .. count-1], colour i written to
     * out[3 i .. 3 i + 2]: the same bits as one lookup per position. */
    void (*gradient_render_colors)(const NocGradientRender* data, const double* positions, int32_t count, double* out);
    /* 1 when every colour the data give, at any position (NaN and infinities
     * included), is finite; 0 when that is not known. NULL data read black: 1. */
    int32_t (*gradient_render_finite)(const NocGradientRender* data);
} NocHostTable;

/* The size of a host table that offers none of the optional entries. */
#define NOC_HOST_TABLE_BASE_SIZE ((int32_t)offsetof(NocHostTable, gradient_render_colors))

/* The library's entry: action, three pointer-sized arguments, 32-bit result. */
typedef int32_t (*NocEntryPoint)(int32_t action, void* p1, void* p2, void* p3);

#ifdef __cplusplus
}
#endif

#endif
