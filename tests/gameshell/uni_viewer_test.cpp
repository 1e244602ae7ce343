// The "uni_viewer" behaviour on a real element of a real screen, driven
// through the input queue: wheel zoom about the pointer and its limits, a
// left-button pan clamped to the bounds, a right-button drag that zooms.
#include <gtest/gtest.h>

#include "engine/d3d_render.h"
#include "engine/gui/guiScreen.h"
#include "gameshell/universe.h"

namespace
{
class UniViewerTest : public testing::Test
{
protected:
  BaseGuiScreen screen;
  UniViewerElement* view = nullptr;
  int registered = 0;

  void SetUp() override
  {
    registered = num_registered_behaviors();
    init_input(nullptr);
    end_input_frame();
    d3d_wd = 800;
    d3d_ht = 600;
    register_std_behaviors();
    register_uni_viewer();
    // The whole screen: 600 pixels across the shorter side, bounds 400 x 300
    // universe units round 0.
    view = new UniViewerElement();
    view->rect = view->innerRect = make4f(0, 0, 800, 600);
    view->minX = -200, view->minY = -150, view->maxX = 200, view->maxY = 150;
    view->extent = 600;
    view->updateView(0.f);
    ASSERT_TRUE(add_behavior(view, "solid_box"));
    ASSERT_TRUE(add_behavior(view, "uni_viewer"));
    screen.root = view;
    move(400, 300);
  }
  void TearDown() override
  {
    screen.root = nullptr;
    delete view;
    end_input_frame();
    unregister_behaviors_after(registered);
  }
  void run() { screen.processInput(); }
  static void move(int x, int y, int flags = 0)
  {
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, flags, x, y);
  }
  static void wheel(int steps, int x, int y) { push_input_event(INPUT_WHEEL, steps, 0, 0, x, y); }
  static void press(int button, int flags, int x, int y) { push_input_event(INPUT_BUTTON_DOWN, button, 0, flags, x, y); }
  static void release(int button) { push_input_event(INPUT_BUTTON_UP, button, 0, 0, -1, -1); }
};
}  // namespace

TEST_F(UniViewerTest, WheelZoomsByAFifthWithinItsLimits)
{
  struct Case
  {
    float extent;
    int steps;
    float want;
  } cases[] = {
      {600, 1, 480},   // a notch forward: 0.8 times
      {600, -1, 720},  // a notch back: 1.2 times
      {190, 1, 160},   // never below 160
      {750, -1, 800},  // never above twice the larger side
      {600, 10, 160},  // at least a tenth, then the floor
  };
  for (const Case& c : cases) {
    view->extent = c.extent;
    view->centreX = view->centreY = 0;
    view->updateView(0.f);
    wheel(c.steps, 400, 300);  // over the centre: the centre stays
    run();
    EXPECT_FLOAT_EQ(view->extent, c.want) << c.extent << " " << c.steps;
    EXPECT_FLOAT_EQ(view->centreX, 0.f);
    EXPECT_FLOAT_EQ(view->viewScale[0], 600.f / c.want);  // the view was updated
  }

  // About another point: the centre moves toward it by 1 - old / new extent.
  view->extent = 600;
  view->centreX = view->centreY = 0;
  view->updateView(0.f);
  wheel(1, 500, 300);  // universe x = 100
  run();
  EXPECT_FLOAT_EQ(view->centreX, 25.f);
}

TEST_F(UniViewerTest, LeftDragPansWithinTheBoundsAndEndsOnRelease)
{
  press(1, INPUT_LBUTTON, 400, 300);
  move(420, 290, INPUT_LBUTTON);
  run();
  EXPECT_TRUE(get_element_pressed(view));
  EXPECT_FLOAT_EQ(view->centreX, -20.f);  // the plane follows the pointer
  EXPECT_FLOAT_EQ(view->centreY, 10.f);
  EXPECT_FLOAT_EQ(view->viewOrigin[0], 420.f);

  // Far to the left, past the edge of the screen: the centre stops at max x.
  move(0, 290, INPUT_LBUTTON);
  move(-3000, 290, INPUT_LBUTTON);
  run();
  EXPECT_FLOAT_EQ(view->centreX, 200.f);
  release(1);
  run();
  EXPECT_FALSE(get_element_pressed(view));
  // Moves without a button pan nothing.
  move(100, 100);
  run();
  EXPECT_FLOAT_EQ(view->centreX, 200.f);
  EXPECT_FLOAT_EQ(view->centreY, 10.f);
}

TEST_F(UniViewerTest, RightDragZoomsAndAResetEndsIt)
{
  press(2, INPUT_RBUTTON, 400, 300);
  move(400, 290, INPUT_RBUTTON);  // up: zooms in
  run();
  EXPECT_TRUE(view->dragZooms);
  EXPECT_FLOAT_EQ(view->extent, 540.f);
  EXPECT_FLOAT_EQ(view->centreX, 0.f);
  move(410, 290, INPUT_RBUTTON);  // right: zooms in too
  run();
  EXPECT_FLOAT_EQ(view->extent, 486.f);

  NewGuiEvent reset(GUI_EV_RESET);
  send_event(&reset, view, GUI_TARGET, nullptr);
  EXPECT_FALSE(get_element_pressed(view));

  // A disabled viewer ignores the pointer.
  struct Disabled : UniViewerElement
  {
    bool isEnabled() override { return false; }
  };
  Disabled off;
  off.extent = 600;
  add_behavior(&off, "uni_viewer");
  NewGuiInputEvent w;
  w.type = GUI_EV_WHEEL;
  w.input.wheel = 1;
  EXPECT_EQ(send_event(&w, &off, GUI_TARGET, nullptr), 0);
  EXPECT_FLOAT_EQ(off.extent, 600.f);
}
