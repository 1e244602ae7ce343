// The universe map mode: entering a chosen world (its file, or on a first
// visit a new world that is saved at once), resuming a slot saved inside a
// world, and leaving a world for the map; the world icons of the plug-in's
// universe screen.
#include "gameshell/universe.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameMain.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/gameobjHost.h"

#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debug.h"
#include "engine/gameShellServices.h"
#include "engine/timer.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"

#include <algorithm>
#include <cmath>

using sqbind::SquirrelError;

static UniverseMode universe_mode_obj;
GameMode* universe_mode = &universe_mode_obj;

namespace
{
void show_script_error(const SquirrelError& e)
{
  TempString<1024> msg;
  msg.printf("Error in world script:\n%s", e.desc);
  set_error_message(msg);
}

WorldLoadResult load_entered_world(int index)
{
  if (index < 0 || cur_game_slot < 0) return WORLD_MISSING;
  return load_world_file(saved_game_path(cur_game_slot, world_file_name(index)));
}

void destroy_local_player()
{
  if (!local_player) return;
  as_gameobj(local_player)->destroy();
  local_player = nullptr;
}

// A new player at the world's castle when it has exactly one, else at the origin.
void place_new_player()
{
  destroy_local_player();
  vec4f pos = make4f(0.f, 0.f, 0.f, 1.f);
  if (CastleObject_list.num == 1) {
    vec4f buf;
    pos = *as_gameobj(CastleObject_list[0])->getPos(&buf);
  }
  local_player = create_player(pos);
  init_new_player(local_player);
}

// Not standing in any world: on the map "enteredWorld" is -1, and a later
// save must not write the world that happens to be in memory into the file
// of a world that was not loaded.
void forget_entered_world()
{
  try {
    set_entered_world(-1);
  } catch (const SquirrelError& e) {
    show_script_error(e);
  }
}

// The world chosen on the map (its index stands in "enteredWorld").
void enter_chosen_world()
{
  int64_t start = get_ref_time();
  int index;
  try {
    index = get_entered_world();
  } catch (const SquirrelError& e) {
    show_script_error(e);
    open_universe_gui();  // back to the choice
    return;
  }

  switch (load_entered_world(index)) {
    case WORLD_LOADED:
      place_new_player();
      debug("loaded world #%d", index);
      set_cur_world(index);
      break;
    case WORLD_MISSING:
      generate_world("game");
      if (index >= 0) set_cur_world(index);
      save_game();
      break;
    case WORLD_FAILED:
      // The file stays as it is for the player to recover; the message is shown.
      forget_entered_world();
      open_universe_gui();
      return;
  }
  camera_heading = camera_pitch = camera_roll = 0.f;
  set_game_mode(play_mode);
  debug("entered world #%d in %d ms", index, get_time_msec(get_ref_time() - start));
}
}  // namespace

// ---------------------------------------------------------- UniverseMode --

void UniverseMode::enter(GameMode*)
{
  stop_world_sounds();
  open_universe_gui();

  // A slot saved inside a world resumes there, with the player of the file.
  int index;
  try {
    index = get_entered_world();
  } catch (const SquirrelError& e) {
    show_script_error(e);
    return;
  }
  if (index < 0) return;
  if (load_entered_world(index) == WORLD_LOADED) {
    // A game that ended between the saves of leaving a world has a world
    // file without its player: the player starts again at the castle.
    if (!local_player) place_new_player();
    debug("loaded world #%d", index);
    set_cur_world(index);
    set_game_mode(play_mode);
    return;
  }
  forget_entered_world();
}

void UniverseMode::leave(GameMode*) { close_game_menu(); }

void UniverseMode::update(float dt)
{
  update_game_menu(dt);
  if (should_close_game_menu) enter_chosen_world();
  handle_dev_hotkeys();
}

void UniverseMode::render(float)
{
  set_wireframe(false);
  set_back_buffer_target();
  clear_view(0x00001133u);
}

void UniverseMode::drawOverlay(float t) { draw_game_menu(t); }

// ------------------------------------------------------------ leave_world --

void leave_world()
{
  if (universe.isNull()) {
    // No game loaded (a developer world): a new world instead.
    reset_fly_control();
    generate_world("game");
    set_game_mode(play_mode);
    return;
  }

  int64_t start = get_ref_time();
  bool ok = save_game();
  if (ok) {
    destroy_local_player();
    simulate_world(60.f);  // the world lives on for a minute without the player
    ok = save_game();
  }
  try {
    set_entered_world(-1);
  } catch (const SquirrelError& e) {
    show_script_error(e);
    ok = false;
  }
  if (ok) save_game();
  set_game_mode(universe_mode);
  debug("back in the universe after %d ms", get_time_msec(get_ref_time() - start));
}

// ------------------------------------------------------- universe viewer --

void UniViewerElement::updateView(float)
{
  float side = std::min(rect[2] - rect[0], rect[3] - rect[1]);
  float s = extent > 0.f && side > 0.f ? side / extent : 1.f;
  viewScale = make4f(s, s, 0.f, 0.f);
  viewOrigin = make4f((rect[0] + rect[2]) * 0.5f - centreX * s, (rect[1] + rect[3]) * 0.5f - centreY * s, 0.f, 0.f);
}

void clamp_uni_viewer_centre(UniViewerElement* e)
{
  e->centreX = std::max(e->centreX, e->minX);
  e->centreX = std::min(e->centreX, e->maxX);
  e->centreY = std::max(e->centreY, e->minY);
  e->centreY = std::min(e->centreY, e->maxY);
}

void zoom_uni_viewer(UniViewerElement* e, float px, float py, float amount)
{
  float f = std::max(0.1f, 1.f + amount);
  float extent = e->extent * f;
  extent = std::min(extent, 2.f * std::max(e->maxX - e->minX, e->maxY - e->minY));
  extent = std::max(extent, 160.f);
  float k = 1.f - e->extent / extent;
  e->extent = extent;
  float ux = (px - e->viewOrigin[0]) / e->viewScale[0];
  float uy = (py - e->viewOrigin[1]) / e->viewScale[1];
  e->centreX = e->centreX - k * (ux - e->centreX);
  e->centreY = e->centreY - k * (uy - e->centreY);
  clamp_uni_viewer_centre(e);
  e->updateView(0.f);
}

namespace
{
// Pans and zooms a UniViewerElement (see universe.h).
class UniViewerBehavior : public NewGuiEventHandler
{
public:
  UniViewerBehavior()
      : NewGuiEventHandler(GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_UP | GUI_EV_BUTTON_DOWN | GUI_EV_MOVE |
                           GUI_EV_WHEEL | GUI_EV_RESET) {}

  static void setPressed(BaseGuiElement* e, bool v) { set_element_pressed(e, &v, false); }

  int handle(NewGuiEvent* event, BaseGuiElement* element, int) override
  {
    UniViewerElement* e = static_cast<UniViewerElement*>(element);
    if (event->type == GUI_EV_RESET) {
      setPressed(e, false);
      return GUI_PASS;
    }
    if (!e->isEnabled()) return GUI_PASS;
    const InputEvent& in = static_cast<NewGuiInputEvent*>(event)->input;
    if (event->type == GUI_EV_BUTTON_DOWN) {
      if (!get_element_pressed(e)) {
        e->lastX = in.x;
        e->lastY = in.y;
        e->dragZooms = (in.flags & INPUT_RBUTTON) != 0;
      }
      setPressed(e, true);
    } else if (event->type == GUI_EV_BUTTON_UP) {
      setPressed(e, false);
    } else if (event->type == GUI_EV_WHEEL) {
      zoom_uni_viewer(e, in.x, in.y, -0.2f * float(in.wheel));
    }
    if (!get_element_pressed(e)) return GUI_HANDLED;
    float dx = in.x - e->lastX, dy = in.y - e->lastY;
    if (e->dragZooms) {
      zoom_uni_viewer(e, e->lastX, e->lastY, (dy - dx) * 0.01f);
    } else {
      e->centreX -= dx / e->viewScale[0];
      e->centreY -= dy / e->viewScale[1];
    }
    clamp_uni_viewer_centre(e);
    e->lastX = in.x;
    e->lastY = in.y;
    e->updateView(0.f);
    return GUI_HANDLED;
  }
  void attach(BaseGuiElement* e) override { setPressed(e, false); }
  void detach(BaseGuiElement* e) override { setPressed(e, false); }
};

UniViewerBehavior uni_viewer_behavior;
}  // namespace

// ------------------------------------------------------------- world icons --

namespace
{
#pragma pack(push, 1)
struct WorldIconVertex
{
  float x, y, u, v;
  uint32_t c2, c1, c3;
};
#pragma pack(pop)
static_assert(sizeof(WorldIconVertex) == 28, "the world-icon vertex is 28 bytes");

StdRenderBatchState world_icon_state;
}  // namespace

void register_uni_viewer() { register_behavior(&uni_viewer_behavior, "uni_viewer"); }

void init_universe_ui()
{
  register_uni_viewer();
  static const VertexElementDesc elements[] = {
      {0, 0, VDECL_FLOAT4, VDECL_POSITION, 0},     // x, y, u, v
      {16, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},     // c2
      {20, 0, VDECL_D3DCOLOR, VDECL_COLOR, 1},     // c1 with its alpha from the size
      {24, 0, VDECL_D3DCOLOR, VDECL_COLOR, 2},     // c3
      {0, 255, 0, 0, 0},
  };
  if (!world_icon_state.shader) world_icon_state.shader = create_shader("worldIcon.sh", nullptr);
  world_icon_state.vdecl = get_vertex_decl(elements);
  world_icon_state.stride = int(sizeof(WorldIconVertex));
}

void render_world_icon(RenderBatch& batch, float x, float y, float size, D3dColor c1, D3dColor c2, D3dColor c3)
{
  if (!(size > 0.f)) return;  // nothing to draw, and both divisions below need it
  float r = c3.u != 0 ? 1.5f * size + 1.f : size + 1.f;
  float t = r / size;
  // The edge of the disc fades over about three pixels whatever its size.
  uint32_t alpha = uint32_t(lrintf(765.f / size)) & 255u;
  uint32_t c1a = (c1.u & 0x00FFFFFFu) | (alpha << 24);

  void* mem = batch.add(&world_icon_state, make4f(x - r, y - r, x + r, y + r), 6 * int(sizeof(WorldIconVertex)), 2);
  WorldIconVertex* v = static_cast<WorldIconVertex*>(mem);
  const float corners[6][4] = {
      {x - r, y - r, -t, -t}, {x + r, y - r, t, -t}, {x + r, y + r, t, t},
      {x - r, y - r, -t, -t}, {x + r, y + r, t, t},  {x - r, y + r, -t, t},
  };
  for (int i = 0; i < 6; i++) v[i] = {corners[i][0], corners[i][1], corners[i][2], corners[i][3], c2.u, c1a, c3.u};
}
