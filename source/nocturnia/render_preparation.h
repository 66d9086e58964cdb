// Render preparation and release: the node's parameters become flat records
// that sampling reads without touching the container; masks, noise
// generators and gradient sampling data are acquired here and given back at
// release.
#pragma once

#include "render_state.h"

// The IDs of one layer's parameters. The base layer and the extra layers
// carry the same parameters under different IDs.
struct LayerParameterIds {
    Int32 layer = -1;  // extra layer number; -1 for the base layer
    Int32 operator()(Int32 offset) const;  // the ID of the parameter with that offset
};
LayerParameterIds BaseLayerIds();
LayerParameterIds ExtraLayerIds(Int32 layerNumber);

// One layer's parameters read into a record, with its sunspots set up. Its
// gradient's sampling data are not yet prepared.
LayerRecord ReadLayer(const BaseContainer& container, const LayerParameterIds& ids, BaseDocument* document);

// Rebuilds `state.layers` from the container: the base layer, then every extra
// layer. Returns the number of extra layers read.
Int32 PrepareLayers(RenderState& state, const BaseContainer& container, BaseDocument* document);

// The whole preparation for a render of `shader`; NOC_INITRENDER_OK when the
// render description names a document, NOC_INITRENDER_OUTOFMEMORY otherwise.
Int32 PrepareRender(RenderState& state, BaseShader* shader, const InitRenderStruct& irs);

// Gives back what PrepareRender acquired. The records stay (stale) until the
// next preparation.
void ReleaseRender(RenderState& state);

// The text of the release's diagnostic line.
String RangeLine(double minValue, double maxValue);
