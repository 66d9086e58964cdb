// The page of `nocturnia serve`. It draws the Attribute Manager from the
// server's state (the shader's description after every change), sends each
// change as `edit --set` would write it, and follows the server: a waiting
// request returns when the document changes (in any tab) or a new preview
// frame is ready. All decisions about the shader are the server's.
"use strict";

const token = document.querySelector('meta[name="nocturnia-token"]').content;
let state = null;
let shownFrame = 0;
const rows = new Map();  // entry ID -> {element, kind, update(entry)}

// ---- talking to the server ----

async function api(path, body) {
  const options = { headers: { "X-Nocturnia-Token": token } };
  if (body !== undefined) {
    options.method = "POST";
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  const reply = await response.json().catch(() => ({ error: "HTTP " + response.status }));
  if (!response.ok) {
    const error = new Error(reply.error || "HTTP " + response.status);
    error.reply = reply;
    throw error;
  }
  return reply;
}

async function change(path, body) {
  try {
    const reply = await api(path, body);
    applyState(reply.state);
    for (const text of reply.dialogs || []) await showDialog(text, ["OK"]);
    return reply;
  } catch (error) {
    showError(error.message);
    if (state) applyState(state);  // put the controls back to what the document holds
    throw error;
  }
}

function setValue(id, value) { return change("/api/set", { id, value }).catch(() => {}); }

// Values sent while a drag goes on: one request at a time per control, the
// latest wins. `send` makes the request for a value.
const pending = new Map();
const busy = new Set();
function sendSoon(key, value, send) {
  pending.set(key, { value, send });
  if (busy.has(key)) return;
  busy.add(key);
  (async () => {
    while (pending.has(key)) {
      const next = pending.get(key);
      pending.delete(key);
      await next.send(next.value);
    }
    busy.delete(key);
    if (state) applyState(state);  // the controls skipped the server's answers while values were on their way
  })();
}
function setValueSoon(id, value) { sendSoon(id, value, (v) => setValue(id, v)); }

let toastTimer = 0;
function showError(message) {
  const toast = document.getElementById("toast");
  toast.textContent = message;
  toast.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { toast.hidden = true; }, 6000);
}

function showDialog(text, buttons, withInput) {
  const dialog = document.getElementById("dialog");
  document.getElementById("dialog-text").textContent = text;
  const input = document.getElementById("dialog-input");
  input.hidden = !withInput;
  input.value = withInput || "";
  const bar = document.getElementById("dialog-buttons");
  bar.replaceChildren();
  return new Promise((resolve) => {
    const finish = (choice) => { dialog.close(); resolve({ choice, input: input.value }); };
    buttons.forEach((name, i) => {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = name;
      if (i === 0) button.className = "primary";
      button.addEventListener("click", () => finish(name));
      bar.append(button);
    });
    dialog.oncancel = (event) => { event.preventDefault(); finish(null); };
    dialog.showModal();
    (withInput ? input : bar.firstChild).focus();
  });
}

// ---- numbers in the units the Attribute Manager shows ----

function unitFactor(entry) {
  if (entry.unit === "percent") return 100;
  if (entry.unit === "degree") return 180 / Math.PI;
  return 1;
}
function unitSuffix(entry) { return entry.unit === "percent" ? "%" : entry.unit === "degree" ? "°" : ""; }
function valueText(entry, shown) {
  if (entry.unit === "percent") return shown + "%";
  if (entry.unit === "degree") return shown + "deg";
  return String(shown);
}
function tidy(number) { return Number.isFinite(number) ? parseFloat(number.toPrecision(10)) : number; }

// Colours are the shader's linear values. The server gives, beside each
// colour and gradient, the display codes it has on the display chosen, made
// by the transform the preview is encoded with; the page paints those codes,
// tagged as the preview image is (sRGB, Rec.1886 or Display P3), so that the
// browser shows a swatch as it shows the preview. A picked colour is display
// codes too: the server turns them back into the linear values stored.
function codesHex(codes) { return "#" + codes.map((c) => c.toString(16).padStart(2, "0")).join(""); }
function codesCss(codes) {
  const tag = state && state.color ? state.color.tag : "srgb";
  const scaled = codes.map((c) => tidy(c / 255));
  if (tag === "display-p3") return "color(display-p3 " + scaled.join(" ") + ")";
  // The PNG's gAMA of 1/2.4 over Rec.709 primaries: the light the browser decodes it to.
  if (tag === "rec1886") return "color(srgb-linear " + scaled.map((c) => tidy(Math.pow(c, 2.4))).join(" ") + ")";
  return "rgb(" + codes.join(", ") + ")";
}
function linearText(rgb) { return rgb.map((c) => String(tidy(c))).join(", "); }
// The linear colour shown as the picker's "#rrggbb" on the display chosen.
async function pickedLinear(hexText) { return (await api("/api/linear", { display: hexText })).linear; }
function pickProblem() { return state && state.color ? state.color.inverseProblem : undefined; }

// A colour swatch that opens the browser's picker: the swatch paints the
// display codes (tagged), the picker lies invisible over it and works in the
// same codes. `pick` receives the linear colour picked.
function colourPicker(title, pick) {
  const swatch = element("span", { className: "swatch", title });
  const picker = element("input", { type: "color", title });
  swatch.append(picker);
  picker.addEventListener("input", () => pick(picker.value));
  return {
    swatch, picker,
    show(codes) {
      if (!codes) return;
      swatch.style.background = codesCss(codes);
      picker.value = codesHex(codes);
      // A view that cannot be inverted leaves only the linear numbers to type.
      const problem = pickProblem();
      if (problem) picker.disabled = true;
      swatch.title = problem || title;
    },
  };
}

// A text field of linear "r, g, b" values, sent as typed.
function linearField(send) {
  const field = element("input", { type: "text", className: "linear", title: "Linear values (scene-linear Rec.709)" });
  field.addEventListener("change", () => send(field.value.split(",").map((part) => part.trim()).join(",")));
  return { field, show(rgb) { if (document.activeElement !== field) field.value = linearText(rgb); } };
}

// ---- controls ----

function element(tag, properties) {
  const made = document.createElement(tag);
  Object.assign(made, properties || {});
  return made;
}

function labelledRow(entry, control) {
  const row = element("div", { className: "row" });
  const label = element("label", { textContent: entry.name, title: entry.name + " [" + entry.id + "]" });
  const box = element("div", { className: "control" });
  box.append(...control);
  row.append(label, box);
  return row;
}

// ---- keys: the diamond beside an animatable parameter ----

// Values of these kinds can be keyed; reals and colours also move between keys.
const keyableKinds = new Set(["real", "integer", "cycle", "bool", "colour"]);
const movingKinds = new Set(["real", "colour"]);

function trackOf(id) { return state && state.tracks.find((t) => t.id === id); }
function keyAtFrame(track) { return track ? track.keys.find((k) => k.frame === state.frame) : undefined; }

// A key button and, for a key at this frame, its interpolation; added to the
// row's label cell. The button keys the value shown, or removes the key.
function addKeyControls(row, entry) {
  const button = element("button", { type: "button", className: "key" });
  const blend = element("select", { className: "key-blend", title: "How the value moves on to the next key" });
  for (const name of ["step", "linear", "smooth"]) blend.append(element("option", { value: name, textContent: name }));
  button.addEventListener("click", () => {
    const key = keyAtFrame(trackOf(entry.id));
    if (key) change("/api/unkey", { id: entry.id }).catch(() => {});
    else change("/api/key", { id: entry.id, value: null }).catch(() => {});
  });
  blend.addEventListener("change", () =>
    change("/api/key", { id: entry.id, value: null, interpolation: blend.value }).catch(() => {}));
  row.row.classList.add("keyable");
  row.row.querySelector(".control").append(button, blend);
  row.keys = { button, blend };
}

function updateKeyControls(row, entry) {
  if (!row.keys) return;
  const track = trackOf(entry.id);
  const key = keyAtFrame(track);
  const { button, blend } = row.keys;
  button.classList.toggle("keyed", !!track);
  button.classList.toggle("here", !!key);
  button.textContent = key ? "\u25C6" : "\u25C7";
  button.title = key ? "Remove the key at frame " + state.frame
    : (track ? "Animated: key the value shown at frame " + state.frame
             : "Key at this frame (frame " + state.frame + "): animate this parameter");
  button.disabled = !entry.editable;
  blend.hidden = !key || !movingKinds.has(entry.kind);
  blend.disabled = !entry.editable;
  if (key) blend.value = key.interpolation || "linear";
  row.row.classList.toggle("animated", !!track);
}

function numberControl(entry) {
  const factor = entry.kind === "real" ? unitFactor(entry) : 1;
  const number = element("input", { type: "number" });
  if (entry.min !== undefined) number.min = tidy(entry.min * factor);
  if (entry.max !== undefined) number.max = tidy(entry.max * factor);
  number.step = entry.kind === "integer" ? "1" : "any";
  const parts = [];
  let range = null;
  const sliderMin = entry.sliderMin !== undefined ? entry.sliderMin : entry.min;
  const sliderMax = entry.sliderMax !== undefined ? entry.sliderMax : entry.max;
  if (sliderMin !== undefined && sliderMax !== undefined && (entry.slider || entry.kind === "real")) {
    range = element("input", { type: "range", min: tidy(sliderMin * factor), max: tidy(sliderMax * factor) });
    range.step = entry.step !== undefined ? tidy(entry.step * factor) : "any";
    parts.push(range);
  }
  parts.push(number);
  if (entry.kind === "real") parts.push(element("span", { className: "unit", textContent: unitSuffix(entry) }));
  const send = (shown) => (entry.kind === "real" ? valueText(entry, shown) : String(Math.round(shown)));
  if (range) {
    range.addEventListener("input", () => { number.value = range.value; setValueSoon(entry.id, send(range.value)); });
  }
  number.addEventListener("change", () => {
    if (number.value !== "" && Number.isFinite(Number(number.value))) setValue(entry.id, send(number.value));
  });
  const row = labelledRow(entry, parts);
  return {
    row,
    inputs: range ? [range, number] : [number],
    update(e) {
      const raw = e.value ? (e.value.real !== undefined ? e.value.real : e.value.int) : undefined;
      if (raw === undefined) return;
      const shown = tidy(raw * factor);
      if (document.activeElement !== number) number.value = shown;
      if (range && !busy.has(e.id)) range.value = shown;
    },
  };
}

function cycleControl(entry) {
  const select = element("select");
  for (const choice of entry.options) select.append(element("option", { value: choice.value, textContent: choice.label }));
  select.addEventListener("change", () => setValue(entry.id, select.value));
  return { row: labelledRow(entry, [select]), inputs: [select],
           update(e) { if (e.value) select.value = String(e.value.int); } };
}

function boolControl(entry) {
  const box = element("input", { type: "checkbox" });
  box.addEventListener("change", () => setValue(entry.id, box.checked ? "true" : "false"));
  return { row: labelledRow(entry, [box]), inputs: [box], update(e) { if (e.value) box.checked = !!e.value.bool; } };
}

// A colour: a swatch with the picker, and its linear numbers, typed or shown.
function colourEditor(key, title, sendText) {
  const pick = colourPicker(title, (hexText) => sendSoon(key, hexText, async (h) => {
    try { await sendText((await pickedLinear(h)).join(",")); } catch (error) { showError(error.message); }
  }));
  const linear = linearField((text) => sendText(text));
  const caption = element("span", { className: "linear-caption", textContent: "linear" });
  return {
    parts: [pick.swatch, caption, linear.field],
    inputs: [pick.picker, linear.field],
    show(rgb, codes) {
      if (busy.has(key)) return;
      pick.show(codes);
      linear.show(rgb);
    },
    pick,
  };
}

function colourControl(entry) {
  const editor = colourEditor(entry.id, "Pick the colour as the display shows it", (text) => setValue(entry.id, text));
  return {
    row: labelledRow(entry, editor.parts),
    inputs: editor.inputs,
    update(e) { if (e.value && e.value.vector) editor.show(e.value.vector, e.display); },
  };
}

function linkControl(entry) {
  const select = element("select");
  select.addEventListener("change", () => setValue(entry.id, select.value === "" ? null : Number(select.value)));
  return {
    row: labelledRow(entry, [select]),
    inputs: [select],
    update(e) {
      // The choices are rebuilt only when the masks' names or kinds change,
      // so that a list the user has open is not pulled away.
      const labels = state.masks.map((mask) => mask.name + " (" + mask.kind + ")");
      if (select.dataset.labels !== JSON.stringify(labels)) {
        const options = [element("option", { value: "", textContent: "None" })];
        labels.forEach((label, i) => options.push(element("option", { value: i, textContent: label })));
        select.replaceChildren(...options);
        select.dataset.labels = JSON.stringify(labels);
      }
      const link = e.value ? e.value.link : null;
      select.value = link === null || link === undefined ? "" : String(link);
    },
  };
}


// How a knot blends into the next one: 2 smooth, 5 none (the knot's colour
// holds), any other value linear; 3 is the linear value the page writes.
const knotInterpolations = [{ value: 2, label: "Smooth" }, { value: 3, label: "Linear" }, { value: 5, label: "None" }];

// A number field of the knot editor, in percent, with its caption.
function knotField(caption, min, max) {
  const input = element("input", { type: "number", min, step: "any" });
  if (max !== undefined) input.max = max;
  const label = element("label", { className: "knot-field" });
  label.append(element("span", { textContent: caption }), input, element("span", { className: "unit", textContent: "%" }));
  return { label, input };
}

// A percent typed into a field, clamped to [low, high]; undefined when it is no number.
function typedFraction(input, low, high) {
  if (input.value === "" || !Number.isFinite(Number(input.value))) return undefined;
  return tidy(Math.min(Math.max(Number(input.value) / 100, low), high));
}

function gradientControl(entry, sendGradient) {
  const wrap = element("div", { className: "strip-wrap" });
  const strip = element("div", { className: "strip", title: "Double-click to add a knot; drag knots to move them" });
  const editor = element("div", { className: "knot-edit" });
  let gradient = null;
  let display = null;  // the server's codes of the strip and of each knot
  let selected = 0;
  const send = () => (sendGradient ? sendGradient(JSON.stringify(gradient))
                                   : setValueSoon(entry.id, JSON.stringify(gradient)));
  const knotColour = colourEditor("knot-" + entry.id, "Colour of the knot, as the display shows it", async (text) => {
    const parts = text.split(",").map((part) => Number(part.trim()));
    if (parts.length !== 3 || !parts.every(Number.isFinite)) { showError("a knot's colour is three linear numbers r, g, b"); return; }
    gradient.knots[selected].color = parts;
    draw();
    send();
  });
  const position = knotField("Position", 0, 100);
  const brightness = knotField("Brightness", 0);
  const bias = knotField("Bias", 0, 100);
  const interpolation = element("select", { title: "How the knot blends into the next one" });
  const interpolationField = element("label", { className: "knot-field" });
  interpolationField.append(element("span", { textContent: "Blend" }), interpolation);
  const remove = element("button", { type: "button", textContent: "Remove knot" });
  const line = element("div", { className: "knot-line" });
  line.append(...knotColour.parts, remove);
  const fields = element("div", { className: "knot-fields" });
  fields.append(position.label, brightness.label, bias.label, interpolationField);
  editor.append(line, fields);
  wrap.append(strip, editor);
  const showNumber = (input, value) => { if (document.activeElement !== input) input.value = tidy(value * 100); };
  const showInterpolation = (value) => {
    // A value the page has no name for still blends linearly; it is shown as
    // such and kept until the user picks another.
    const known = knotInterpolations.some((choice) => choice.value === value);
    const choices = known ? knotInterpolations : [...knotInterpolations, { value, label: "Linear (type " + value + ")" }];
    if (interpolation.options.length !== choices.length || !known) {
      interpolation.replaceChildren(...choices.map((c) => element("option", { value: c.value, textContent: c.label })));
    }
    interpolation.value = String(value);
  };
  // The strip is the server's samples of the gradient as the shader looks it
  // up; it follows a change here once the server has it.
  const knotCodes = (i) => (display && display.knots[i]) || [0, 0, 0];
  const draw = () => {
    const samples = display ? display.strip : [[0, 0, 0]];
    const flat = samples.every((c) => c.join() === samples[0].join());
    strip.style.background = flat ? codesCss(samples[0])
      : "linear-gradient(to right, " + samples.map((c, i) => codesCss(c) + " " +
                                                   tidy(i / (samples.length - 1) * 100) + "%").join(", ") + ")";
    strip.replaceChildren(...gradient.knots.map((knot, i) => {
      const marker = element("button", { type: "button", className: "knot" + (i === selected ? " selected" : "") });
      marker.style.left = knot.position * 100 + "%";
      marker.style.background = codesCss(knotCodes(i));
      marker.disabled = !entry.editable;
      marker.addEventListener("pointerdown", (event) => {
        // The markers stay in place until the drag ends: redrawing them here
        // would drop the marker that holds the pointer, and the drag with it.
        selected = i;
        for (const other of strip.children) other.classList.toggle("selected", other === marker);
        showSelected();
        marker.setPointerCapture(event.pointerId);
        const bounds = strip.getBoundingClientRect();
        let moved = false;  // a click only selects the knot; it changes nothing
        const move = (m) => {
          moved = true;
          knot.position = tidy(Math.min(Math.max((m.clientX - bounds.left) / bounds.width, 0), 1));
          marker.style.left = knot.position * 100 + "%";
        };
        marker.onpointermove = move;
        marker.onpointerup = () => {
          marker.onpointermove = null;
          marker.onpointerup = null;
          draw();
          if (moved) send();
        };
      });
      return marker;
    }));
    showSelected();
  };
  // The editor below the strip shows the selected knot.
  const showSelected = () => {
    const knot = gradient.knots[selected];
    editor.hidden = !knot;
    if (knot) {
      knotColour.show(knot.color, knotCodes(selected));
      showNumber(position.input, knot.position);
      showNumber(brightness.input, knot.brightness !== undefined ? knot.brightness : 1);
      showNumber(bias.input, knot.bias !== undefined ? knot.bias : 0.5);
      showInterpolation(knot.interpolation !== undefined ? knot.interpolation : 2);
      remove.disabled = gradient.knots.length <= 1 || !entry.editable;
    }
  };
  strip.addEventListener("dblclick", (event) => {
    if (!gradient || !entry.editable || event.target !== strip) return;
    const bounds = strip.getBoundingClientRect();
    const base = gradient.knots[selected] || { color: [1, 1, 1], brightness: 1, bias: 0.5, interpolation: 2 };
    gradient.knots.push({ ...base, color: base.color.slice(),
                          position: tidy((event.clientX - bounds.left) / bounds.width),
                          index: gradient.knots.reduce((m, k) => Math.max(m, k.index || 0), 0) + 1 });
    if (display) display.knots.push(knotCodes(selected));  // a copy of that knot, until the server answers
    selected = gradient.knots.length - 1;
    draw();
    send();
  });
  // A typed percent changes one field of the selected knot; a field that is
  // no number is put back to what the knot holds.
  const onTyped = (field, key, low, high) => field.input.addEventListener("change", () => {
    const value = typedFraction(field.input, low, high);
    if (value !== undefined) gradient.knots[selected][key] = value;
    draw();
    const held = gradient.knots[selected][key];
    if (held !== undefined) field.input.value = tidy(held * 100);
    if (value !== undefined) send();
  });
  onTyped(position, "position", 0, 1);
  onTyped(brightness, "brightness", 0, Infinity);
  onTyped(bias, "bias", 0, 1);
  interpolation.addEventListener("change", () => {
    gradient.knots[selected].interpolation = Number(interpolation.value);
    draw();
    send();
  });
  remove.addEventListener("click", () => { gradient.knots.splice(selected, 1); selected = 0; draw(); send(); });
  return {
    row: labelledRow(entry, [wrap]),
    inputs: [...knotColour.inputs, position.input, brightness.input, bias.input, interpolation, remove],
    update(e) {
      entry = e;
      if (!e.value || !e.value.gradient || busy.has(e.id) || busy.has("knot-" + e.id)) return;
      gradient = JSON.parse(JSON.stringify(e.value.gradient));
      display = e.display ? JSON.parse(JSON.stringify(e.display)) : null;
      selected = Math.min(selected, Math.max(gradient.knots.length - 1, 0));
      draw();
    },
  };
}

function buttonControl(entry) {
  const button = element("button", { type: "button", textContent: entry.name });
  button.addEventListener("click", () => change("/api/press", { id: entry.id }).catch(() => {}));
  const row = element("div", { className: "row button-row" });
  row.append(button);
  return { row, inputs: [button], update() {} };
}

function textControl(entry) {
  const input = element("input", { type: "text" });
  input.addEventListener("change", () => setValue(entry.id, input.value));
  return { row: labelledRow(entry, [input]), inputs: [input],
           update(e) { if (e.value && document.activeElement !== input) input.value = e.value.string || ""; } };
}

function otherControl(entry) {
  const text = element("span", { className: "unit" });
  text.style.width = "auto";
  return { row: labelledRow(entry, [text]), inputs: [],
           update(e) { text.textContent = e.value ? JSON.stringify(e.value) : ""; } };
}

function groupControl(entry) {
  const details = element("details", { className: "group", open: true });
  const summary = element("summary", { textContent: entry.name });
  const body = element("div", { className: "body" });
  details.append(summary, body);
  return { row: details, body, inputs: [], update(e) { summary.textContent = e.name; } };
}

const builders = {
  group: groupControl, real: numberControl, integer: numberControl, cycle: cycleControl, bool: boolControl,
  colour: colourControl, gradient: (entry) => gradientControl(entry), link: linkControl, button: buttonControl,
  string: textControl,
};

// ---- the state ----

function applyState(next) {
  state = next;
  document.getElementById("file").textContent = state.file || "new document (not saved yet)";
  document.getElementById("unsaved").hidden = !state.unsaved;
  document.getElementById("undo").disabled = state.undoSteps === 0;
  document.getElementById("frame").style.aspectRatio = String(state.aspect);
  const root = document.getElementById("entries");
  const seen = new Set();
  const placed = new Map();  // container -> number of rows placed in it so far
  for (const entry of state.entries) {
    const key = entry.id + ":" + entry.kind;
    seen.add(key);
    let row = rows.get(key);
    if (!row) {
      row = (builders[entry.kind] || otherControl)(entry);
      row.row.dataset.id = entry.id;
      row.row.dataset.kind = entry.kind;
      if (keyableKinds.has(entry.kind)) addKeyControls(row, entry);
      rows.set(key, row);
    }
    const parent = rows.get(entry.parent + ":group");
    const container = entry.parent !== 0 && parent ? parent.body : root;
    const index = placed.get(container) || 0;
    placed.set(container, index + 1);
    if (container.children[index] !== row.row) container.insertBefore(row.row, container.children[index] || null);
    row.row.hidden = entry.hidden;
    row.row.classList.toggle("disabled", !entry.editable);
    for (const input of row.inputs) input.disabled = !entry.editable;
    row.update(entry);
    updateKeyControls(row, entry);
  }
  for (const [key, row] of rows) {
    if (!seen.has(key)) { row.row.remove(); rows.delete(key); }
  }
  showRenderSettings();
  showMasks();
  showTimeline();
  showDisplayChooser();
}

// ---- the display the colours and the preview are shown for ----

function showDisplayChooser() {
  const menu = state.color;
  const chooser = document.getElementById("display-chooser");
  chooser.hidden = !menu.offered;
  if (!menu.offered) return;
  const displays = document.getElementById("display-select");
  const views = document.getElementById("view-select");
  const options = (select, names) => {
    if (select.dataset.names === JSON.stringify(names)) return;
    select.replaceChildren(...names.map((name) => element("option", { value: name, textContent: name })));
    select.dataset.names = JSON.stringify(names);
  };
  options(displays, menu.displays.map((d) => d.name));
  const shown = menu.displays.find((d) => d.name === menu.display);
  options(views, shown ? shown.views : []);
  displays.value = menu.display;
  views.value = menu.view;
  const note = document.getElementById("display-note");
  note.hidden = !menu.inverseProblem;
  note.title = menu.inverseProblem || "";
}

function buildDisplayChooser() {
  const displays = document.getElementById("display-select");
  const views = document.getElementById("view-select");
  const choose = (display, view) => change("/api/display", { display, view }).catch(() => {});
  displays.addEventListener("change", () => {
    // The view of that name where the display has one, else its first.
    const chosen = state.color.displays.find((d) => d.name === displays.value);
    choose(displays.value, chosen.views.includes(views.value) ? views.value : chosen.views[0]);
  });
  views.addEventListener("change", () => choose(displays.value, views.value));
}

// ---- render settings ----

const renderFields = [
  { key: "width", label: "Width", unit: "px", min: 1 }, { key: "height", label: "Height", unit: "px", min: 1 },
  { key: "samples", label: "Samples", unit: "per pixel side", min: 1 }, { key: "aspect", label: "Aspect", unit: "", min: 0 },
  { key: "fps", label: "Frame Rate", unit: "fps", min: 0 }, { key: "start", label: "First Frame", unit: "" },
  { key: "end", label: "Last Frame", unit: "" },
];
const renderInputs = new Map();

function buildRenderSettings() {
  const body = document.querySelector("#render-settings .body");
  for (const field of renderFields) {
    const input = element("input", { type: "number", step: "any" });
    if (field.min !== undefined) input.min = field.min;
    input.placeholder = field.key === "aspect" ? "auto" : field.key === "fps" || field.key === "end" ? "none" : "";
    input.addEventListener("change", () => {
      const value = input.value === "" && field.key === "aspect" ? "auto" : input.value;
      change("/api/render", { key: field.key, value }).catch(() => {});
    });
    const row = element("div", { className: "row" });
    row.dataset.render = field.key;
    const box = element("div", { className: "control" });
    box.append(input, element("span", { className: "unit wide", textContent: field.unit }));
    row.append(element("label", { textContent: field.label }), box);
    body.append(row);
    renderInputs.set(field.key, input);
  }
}

function showRenderSettings() {
  for (const [key, input] of renderInputs) {
    const value = state.render[key];
    if (document.activeElement !== input) input.value = value === null || value === undefined ? "" : tidy(value);
  }
}

// ---- mask shaders ----

const maskRows = [];

function maskRow(mask) {
  const wrap = element("div", { className: "mask" });
  const head = element("div", { className: "mask-head" });
  const name = element("input", { type: "text", className: "mask-name", title: "The mask's name: a layer's Mask chooses it" });
  const kind = element("span", { className: "mask-kind" });
  const remove = element("button", { type: "button", textContent: "Remove", title: "Remove the mask; Masks linked to it are cleared" });
  head.append(name, kind, remove);
  const body = element("div", { className: "mask-body" });
  wrap.append(head, body);
  const row = { wrap, name, kind, body, index: mask.index, kindName: null, controls: null };
  const post = (body2) => change("/api/mask", { index: row.index, ...body2 }).catch(() => {});
  name.addEventListener("change", () => post({ action: "rename", name: name.value }));
  remove.addEventListener("click", () => post({ action: "remove" }));
  row.post = post;
  return row;
}

function maskControls(row, mask) {
  row.body.replaceChildren();
  const set = (parameter) => (value) => row.post({ action: "set", parameter, value });
  if (mask.kind === "gradient") {
    const axis = element("select", { title: "u: across the texture; v: from the top down" });
    axis.append(element("option", { value: "u", textContent: "u (across)" }),
                element("option", { value: "v", textContent: "v (top to bottom)" }));
    axis.addEventListener("change", () => set("Axis")(axis.value));
    const axisRow = labelledRow({ name: "Axis", id: "mask" }, [axis]);
    const gradient = gradientControl({ id: "mask-" + mask.index, name: "Gradient", editable: true },
                                     (text) => sendSoon("mask-" + row.index, text, set("Gradient")));
    row.body.append(axisRow, gradient.row);
    return { update(m) { axis.value = m.axis; gradient.update({ id: "mask-" + row.index, name: "Gradient",
                                                                  editable: true, value: { gradient: m.gradient },
                                                                  display: m.display }); } };
  }
  if (mask.kind === "color") {
    const editor = colourEditor("mask-" + mask.index, "Pick the tint as the display shows it", set("Color"));
    row.body.append(labelledRow({ name: "Color", id: "mask" }, editor.parts));
    return { update(m) { editor.show(m.color, m.display); } };
  }
  return { update() {} };
}

function showMasks() {
  const list = document.getElementById("mask-list");
  while (maskRows.length > state.masks.length) maskRows.pop().wrap.remove();
  state.masks.forEach((mask, i) => {
    if (!maskRows[i]) { maskRows[i] = maskRow(mask); list.append(maskRows[i].wrap); }
    const row = maskRows[i];
    row.index = mask.index;
    row.wrap.dataset.mask = mask.name;
    if (document.activeElement !== row.name) row.name.value = mask.name;
    row.kind.textContent = mask.kind + " shader";
    if (row.kindName !== mask.kind) { row.controls = maskControls(row, mask); row.kindName = mask.kind; }
    row.controls.update(mask);
  });
  document.getElementById("no-masks").hidden = state.masks.length > 0;
}

// ---- the time line ----

let playing = false;

function frameRange() {
  const start = state.render.start;
  let end = state.render.end;
  if (end === null || end === undefined) {
    end = start;
    for (const track of state.tracks) for (const key of track.keys) end = Math.max(end, Math.ceil(key.frame));
  }
  return [start, Math.max(end, start)];
}

function goToFrame(frame) { return change("/api/frame", { frame }).catch(() => {}); }

function showTimeline() {
  const [start, end] = frameRange();
  const slider = document.getElementById("frame-slider");
  slider.min = start;
  slider.max = end;
  if (!busy.has("frame")) slider.value = state.frame;
  const number = document.getElementById("frame-number");
  if (document.activeElement !== number) number.value = state.frame;
  const fps = state.render.fps;
  document.getElementById("frame-range").textContent =
    "frames " + start + "–" + end + (fps ? " at " + tidy(fps) + " fps" : "");
  // Every key of every track, as a tick over the slider; a key at the
  // current frame stands out.
  const ticks = document.getElementById("key-ticks");
  const frames = new Map();
  for (const track of state.tracks) {
    for (const key of track.keys) frames.set(key.frame, (frames.get(key.frame) || []).concat(track.name));
  }
  ticks.replaceChildren(...[...frames].filter(([f]) => f >= start && f <= end).map(([frame, names]) => {
    const tick = element("span", { className: "tick" + (frame === state.frame ? " here" : ""),
                                   title: "frame " + frame + ": " + names.join(", ") });
    tick.style.left = (end > start ? (frame - start) / (end - start) * 100 : 0) + "%";
    tick.dataset.frame = frame;
    tick.addEventListener("click", () => goToFrame(Math.round(frame)));
    return tick;
  }));
  document.getElementById("keyed-count").textContent = state.tracks.length
    ? state.tracks.length + (state.tracks.length === 1 ? " parameter" : " parameters") + " keyed" : "no keys";
}

function buildTimeline() {
  const slider = document.getElementById("frame-slider");
  slider.addEventListener("input", () => {
    document.getElementById("frame-number").value = slider.value;
    sendSoon("frame", Number(slider.value), goToFrame);
  });
  const number = document.getElementById("frame-number");
  number.addEventListener("change", () => { if (number.value !== "") goToFrame(Math.round(Number(number.value))); });
  const play = document.getElementById("play");
  play.addEventListener("click", () => {
    playing = !playing;
    play.textContent = playing ? "\u275A\u275A" : "\u25B6";
    play.title = playing ? "Pause" : "Play: step through the frames as fast as the preview renders them";
    play.classList.toggle("on", playing);
    if (playing) stepWhenShown();
  });
  document.getElementById("prev-frame").addEventListener("click", () => goToFrame(state.frame - 1));
  document.getElementById("next-frame").addEventListener("click", () => goToFrame(state.frame + 1));
  document.getElementById("add-gradient-mask").addEventListener("click", () =>
    change("/api/mask", { action: "add", kind: "gradient" }).catch(() => {}));
  document.getElementById("add-colour-mask").addEventListener("click", () =>
    change("/api/mask", { action: "add", kind: "color" }).catch(() => {}));
}

// While playing: the next frame once the preview of this one is finished.
function stepWhenShown() {
  if (!playing || !state) return;
  const info = document.getElementById("preview-info").dataset;
  if (Number(info.version) !== state.version || info.done !== "true") return;
  const [start, end] = frameRange();
  goToFrame(state.frame >= end ? start : state.frame + 1);
}

async function showFrame(frame) {
  const error = document.getElementById("preview-error");
  const info = document.getElementById("preview-info");
  if (frame.error) {
    error.textContent = frame.error;
    error.hidden = false;
    shownFrame = frame.number;
    return;
  }
  const response = await fetch("/api/preview", { headers: { "X-Nocturnia-Token": token } });
  if (!response.ok) return;
  const number = Number(response.headers.get("X-Frame"));
  const url = URL.createObjectURL(await response.blob());
  const image = document.getElementById("preview");
  const old = image.src;
  image.src = url;
  image.dataset.frame = number;
  if (old.startsWith("blob:")) URL.revokeObjectURL(old);
  error.hidden = true;
  // The image fetched may already be a newer pass than `frame` describes:
  // only `frame` counts as shown, so that the next wait brings the newer
  // one's description at once (else "refining…" would stay on a finished image).
  shownFrame = Math.max(shownFrame, frame.number);
  const done = frame.pass + 1 === frame.passes;
  info.textContent = (done ? "" : "refining… ") + "pass " + (frame.pass + 1) + " of " + frame.passes + " · " +
    frame.width + " × " + frame.height + " · " + frame.samples + " × " + frame.samples + " samples · frame " +
    frame.frame;
  info.dataset.version = frame.version;
  info.dataset.done = String(done);
  image.dataset.shownFrame = frame.frame;
  image.dataset.done = String(done);
  stepWhenShown();
}

async function follow() {
  for (;;) {
    try {
      const seenVersion = state ? state.version : 0;
      const news = await api("/api/wait?version=" + seenVersion + "&frame=" + shownFrame);
      if (!state || news.version !== state.version) applyState(await api("/api/state"));
      if (news.frame.number > shownFrame) await showFrame(news.frame);
    } catch (error) {
      showError("lost the server: " + error.message);
      await new Promise((resolve) => setTimeout(resolve, 2000));
    }
  }
}

// ---- saving ----

async function save(path, overwrite) {
  try {
    const body = {};
    if (path) body.path = path;
    if (overwrite) body.overwrite = true;
    applyState((await api("/api/save", body)).state);
  } catch (error) {
    const reply = error.reply || {};
    if (reply.needsName) {
      const answer = await showDialog("Save the new document as:", ["Save", "Cancel"], "night-sky.json");
      if (answer.choice === "Save" && answer.input) await save(answer.input, false);
    } else if (reply.conflict) {
      const own = !path;
      const answer = await showDialog(error.message, own ? ["Overwrite", "Reload", "Cancel"] : ["Overwrite", "Cancel"]);
      if (answer.choice === "Overwrite") await save(path, true);
      if (answer.choice === "Reload") await change("/api/reload", {}).catch(() => {});
    } else {
      showError(error.message);
    }
  }
}

document.getElementById("save").addEventListener("click", () => save());
document.getElementById("undo").addEventListener("click", () => change("/api/undo", {}).catch(() => {}));
document.addEventListener("keydown", (event) => {
  const typing = event.target.matches("input[type=text], input[type=number]");
  if ((event.ctrlKey || event.metaKey) && event.key === "s") { event.preventDefault(); save(); }
  if ((event.ctrlKey || event.metaKey) && event.key === "z" && !typing) {
    event.preventDefault();
    change("/api/undo", {}).catch(() => {});
  }
});
window.addEventListener("beforeunload", (event) => {
  if (state && state.unsaved) { event.preventDefault(); event.returnValue = ""; }
});

buildRenderSettings();
buildTimeline();
buildDisplayChooser();
api("/api/state").then(applyState, (error) => showError(error.message)).finally(follow);
