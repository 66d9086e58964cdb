// Render preparation and release: the node's parameters become flat records
// that sampling reads without touching the container; masks, noise
// generators and gradient sampling data are acquired here and given back at
// release.
#pragma once

#include "nocturnia/parameter_ids.h"
#include "nocturnia/render_state.h"

namespace nocturnia {

// One layer's parameters read into a record, with its sunspots set up. Its
// gradient's sampling data are not yet prepared.
LayerRecord ReadLayer(const BaseContainer& container, const nocturnia::LayerParameterIds& ids, BaseDocument* document);

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

}  // namespace nocturnia
