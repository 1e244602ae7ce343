// The launcher's GUI framework without a window: lengths, the tree's index
// rules, the axis solver and layout, hit tests, the four delivery modes, and
// buttons driven through the engine's input queue.
#include "launcher_fixture.h"
#include "launcher/gui.h"
#include "launcher/settings.h"
#include "launcher/swrender.h"

#include <cstring>
#include <string>

namespace
{

// A named box appended after its parent's children (new_gui_box inserts at -1).
GuiBox* named_box(const char* name, GuiBox* parent = nullptr)
{
  GuiBox* b = new_gui_box(gui_units(1), gui_units(1), nullptr, nullptr, nullptr);
  snprintf(b->name, sizeof(b->name), "%s", name);
  if (parent) parent->addChild(b, parent->children.size());
  return b;
}

std::string child_names(GuiBox* b)
{
  std::string s;
  for (GuiBox* c : b->children) s += c->name;
  return s;
}

void free_tree(GuiBox* root)
{
  root->destroy();
  delete root;
}

// Records each call as "<box name>" and answers with the result set for the box.
struct RecordingHandler final : GuiEventHandler
{
  explicit RecordingHandler(std::string& l, int result = 0, int m = ~0) : GuiEventHandler(m), log(l), answer(result) {}
  int handleEvent(GuiEvent&, GuiBox* box, int) override
  {
    log += box->name;
    return answer;
  }
  void attach(GuiBox* box) override { log += std::string("+") + box->name; }
  void detach(GuiBox* box) override { log += std::string("-") + box->name; }
  std::string& log;
  int answer;
};

TEST(GuiLength, ModesGivePixelsAndAnUnknownModeIsFatal)
{
  struct Case { GuiLen len; float expected; } cases[] = {
      {gui_auto(), 7.f},                 // the caller's auto value
      {gui_px(3.5f), 3.5f},
      {gui_units(2.f), 20.f},            // unit 10
      {{50.f, GUI_LEN_PCT_W}, 100.f},    // parent 200 x 80
      {{50.f, GUI_LEN_PCT_H}, 40.f},
      {gui_units(-2.5f), -25.f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(eval_gui_len(c.len, 10.f, 200.f, 80.f, 7.f), c.expected) << c.len.mode;

  EXPECT_EXIT(eval_gui_len({1.f, 5}, 10.f, 200.f, 80.f, 0.f), testing::ExitedWithCode(100),
              "gui\\.h\\(100\\): failed ASSERT\\(!\"unknown GuiLen mode\"\\)");
  GuiBox* b = new_gui_box(gui_units(1), gui_units(1), nullptr, nullptr, nullptr);
  b->marginLen[GUI_LEFT] = {1.f, -1};
  float w, h;
  EXPECT_EXIT(b->measure(nullptr, w, h), testing::ExitedWithCode(100),
              "layout\\.cpp\\(77\\): failed ASSERT\\(!\"unknown GuiLen mode\"\\)");
  free_tree(b);
}

TEST(GuiTree, NegativeIndicesCountFromTheEndAndIndicesAreClamped)
{
  struct Case { int indices[3]; const char* order; } cases[] = {
      {{-1, -1, -1}, "BCA"},   // -1 goes before the current last child
      {{0, 0, 0}, "CBA"},
      {{9, 9, 9}, "ABC"},      // clamped to the count
      {{0, -9, 1}, "BCA"},     // clamped to 0
      {{0, 1, -2}, "CAB"},
  };
  for (const Case& c : cases) {
    GuiBox* root = named_box("root");
    const char* names[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) root->addChild(named_box(names[i]), c.indices[i]);
    EXPECT_EQ(child_names(root), c.order);
    free_tree(root);
  }

  // Adding a box that has a parent moves it.
  GuiBox* p1 = named_box("p1");
  GuiBox* p2 = named_box("p2");
  GuiBox* x = named_box("X", p1);
  p2->addChild(x, 0);
  EXPECT_TRUE(p1->children.empty());
  EXPECT_EQ(x->parent, p2);
  free_tree(p1);
  free_tree(p2);
}

TEST(GuiTree, HandlersFollowTheSameIndexRuleAndTheMaskFollowsTheHandlers)
{
  std::string log;
  RecordingHandler a(log, 0, 1), b(log, 0, 2), c(log, 0, 4);
  GuiBox* box = named_box("X");
  box->addHandler(&a, -1);
  box->addHandler(&b, -1);
  box->addHandler(&c, -1);
  ASSERT_EQ(box->handlers.size(), 3);
  EXPECT_EQ(box->handlers[0], &b);
  EXPECT_EQ(box->handlers[1], &c);
  EXPECT_EQ(box->handlers[2], &a);
  EXPECT_EQ(box->handlerMask, 7);
  EXPECT_EQ(log, "+X+X+X");
  box->removeHandler(&c);
  EXPECT_EQ(box->handlerMask, 3);
  EXPECT_EQ(log, "+X+X+X-X");
  // destroy removes the rest from the last to the first.
  log.clear();
  free_tree(box);
  EXPECT_EQ(log, "-X-X");
}

TEST(GuiTree, FindSkipsEmptyNamesAndIdZeroAndSearchesDepthFirst)
{
  GuiBox* root = named_box("root");
  GuiBox* a = named_box("a", root);
  GuiBox* deep = named_box("x", a);
  GuiBox* later = named_box("x", root);
  deep->id = 5;
  later->id = 5;
  EXPECT_EQ(root->findByName("x"), deep);
  EXPECT_EQ(root->findById(5), deep);
  EXPECT_EQ(root->findByName(""), nullptr);
  EXPECT_EQ(root->findById(0), nullptr);   // root's id is 0 too
  EXPECT_EQ(root->findByName("X"), nullptr);   // names compare exactly
  EXPECT_FALSE(deep->isHidden());
  a->setHidden(true);
  EXPECT_FALSE(deep->isVisible());
  EXPECT_FALSE(deep->isHidden());
  EXPECT_TRUE(later->isVisible());
  free_tree(root);
}

TEST(GuiLayout, AutoMarginsAndPaddingsShareOnlyRoomStrictlyLeftOver)
{
  const GuiLen A = gui_auto(), Z = gui_units(0);
  struct Case
  {
    float avail;
    GuiLen ms, ps, size, pe, me;
    float border;
    float ems, eps, epe, eme, extent;
  } cases[] = {
      // 11 units, left auto, right 1 unit, in 40 units: the left takes 28.
      {40, A, Z, gui_units(11), Z, gui_units(1), 0, 28, 0, 0, 1, 40},
      // Both auto: centred.
      {40, A, Z, gui_units(11), Z, A, 0, 14.5f, 0, 0, 14.5f, 40},
      // Paddings share too; borders count in the total.
      {40, A, A, gui_units(10), A, A, 1, 7, 7, 7, 7, 40},
      // Exactly full: autos stay 0.
      {12, A, Z, gui_units(11), Z, gui_units(1), 0, 0, 0, 0, 1, 12},
      // Too small: the extent is the total.
      {5, A, Z, gui_units(11), Z, A, 0, 0, 0, 0, 0, 11},
      // No auto but room: the box still takes the room.
      {40, Z, Z, gui_units(11), Z, Z, 0, 0, 0, 0, 0, 40},
      // Negative room counts as 0, which still exceeds a negative total.
      {-3, A, Z, gui_units(2), Z, gui_units(-2.5f), 0, 0.5f, 0, 0, -2.5f, 0},
      {15, A, Z, gui_units(2), Z, gui_units(-2.5f), 0, 15.5f, 0, 0, -2.5f, 15},
  };
  for (const Case& c : cases) {
    GuiAxis a = solve_gui_axis(c.avail, c.ms, c.border, c.ps, c.size, c.pe, c.border, c.me, 1.f, 0, 0);
    EXPECT_FLOAT_EQ(a.marginStart, c.ems) << c.avail;
    EXPECT_FLOAT_EQ(a.paddingStart, c.eps) << c.avail;
    EXPECT_FLOAT_EQ(a.paddingEnd, c.epe) << c.avail;
    EXPECT_FLOAT_EQ(a.marginEnd, c.eme) << c.avail;
    EXPECT_FLOAT_EQ(a.extent, c.extent) << c.avail;
  }
}

TEST(GuiLayout, ASmallTreeIsMeasuredAndPlacedFromEachParentsContent)
{
  // Without a screen: 640 x 480 and 8-pixel units.
  const GuiLen A = gui_auto();
  const GuiLen centred[4] = {A, A, A, A};
  GuiBox* root = new_gui_box(gui_units(40), gui_units(30), centred, nullptr, nullptr);
  const GuiLen right[4] = {gui_units(0), A, gui_units(1), A};
  GuiBox* bar = new_gui_box(gui_units(11), gui_units(2), right, nullptr, root);
  // An auto-sized box around a bordered 5 x 2-unit box and a smaller one.
  const GuiLen bottom_left[4] = {A, gui_units(1), A, gui_units(2)};
  GuiBox* holder = new_gui_box(A, A, bottom_left, nullptr, root);
  GuiBox* inner = new_gui_box(gui_units(5), gui_units(2), nullptr, nullptr, holder);
  for (GuiLen& b : inner->borderLen) b = gui_px(1);
  new_gui_box(gui_units(3), gui_units(3), nullptr, nullptr, holder);
  GuiBox* moved = new_gui_box(gui_units(1), gui_units(1), nullptr, nullptr, holder);
  moved->offsetX = moved->offsetY = gui_px(1);

  float w, h;
  holder->measure(nullptr, w, h);
  EXPECT_FLOAT_EQ(w, 1 * 8 + 42);    // margin + widest child (5 units + 2 borders)
  EXPECT_FLOAT_EQ(h, 24 + 2 * 8);    // tallest child + bottom margin
  // Percent of its own axis divides the fixed part; the other percent is 0.
  GuiBox* pct = new_gui_box(gui_px(10), gui_px(10), nullptr, nullptr, nullptr);
  pct->marginLen[GUI_LEFT] = {50, GUI_LEN_PCT_W};
  pct->marginLen[GUI_TOP] = {50, GUI_LEN_PCT_W};
  pct->measure(nullptr, w, h);
  EXPECT_FLOAT_EQ(w, 20);
  EXPECT_FLOAT_EQ(h, 10);
  free_tree(pct);

  root->layout(nullptr);
  EXPECT_FLOAT_EQ(root->outer.left, 0);
  EXPECT_FLOAT_EQ(root->outer.right, 640);
  EXPECT_FLOAT_EQ(root->padding.left, 160);
  EXPECT_FLOAT_EQ(root->padding.top, 120);
  EXPECT_FLOAT_EQ(root->padding.right, 480);
  EXPECT_FLOAT_EQ(root->padding.bottom, 360);
  // Outer rect over the whole parent, padding rect 28 to 39 units in it.
  EXPECT_FLOAT_EQ(bar->outer.left, 160);
  EXPECT_FLOAT_EQ(bar->outer.right, 480);
  EXPECT_FLOAT_EQ(bar->padding.left, 160 + 28 * 8);
  EXPECT_FLOAT_EQ(bar->padding.right, 160 + 39 * 8);
  EXPECT_FLOAT_EQ(bar->padding.top, 120);
  EXPECT_FLOAT_EQ(bar->padding.bottom, 120 + 16);
  // The holder sits at the bottom left with its measured size.
  EXPECT_FLOAT_EQ(holder->padding.left, 168);
  EXPECT_FLOAT_EQ(holder->padding.right, 168 + 42);
  EXPECT_FLOAT_EQ(holder->padding.bottom, 360 - 16);
  EXPECT_FLOAT_EQ(holder->padding.top, 360 - 16 - 24);
  // Borders lie outside the padding rect.
  EXPECT_FLOAT_EQ(inner->padding.left, 169);
  EXPECT_FLOAT_EQ(inner->padding.right, 168 + 41);
  EXPECT_FLOAT_EQ(inner->borderPx[GUI_LEFT], 1);
  // The offset moves the whole box.
  EXPECT_FLOAT_EQ(moved->outer.left, 169);
  EXPECT_FLOAT_EQ(moved->outer.top, holder->content.top + 1);
  // The box's own lengths keep auto.
  EXPECT_EQ(holder->width.mode, GUI_LEN_AUTO);
  free_tree(root);
}

TEST(GuiDelivery, FourModesVisitHandlersInTheirOrderAndStopAsSpecified)
{
  // root > mid > (leaf, leaf2), root > side
  std::string log;
  GuiBox* root = named_box("R");
  GuiBox* mid = named_box("M", root);
  GuiBox* leaf = named_box("L", mid);
  GuiBox* leaf2 = named_box("l", mid);
  GuiBox* side = named_box("S", root);
  RecordingHandler hr(log), hm(log), hl(log), hl2(log), hs(log);
  root->addHandler(&hr, 0);
  mid->addHandler(&hm, 0);
  leaf->addHandler(&hl, 0);
  leaf2->addHandler(&hl2, 0);
  side->addHandler(&hs, 0);

  struct Case { GuiBox* box; int mode; GuiBox* stop; int mid_answer; const char* order; int result; } cases[] = {
      {leaf, GUI_SEND_TOP_DOWN, nullptr, 0, "RML", 0},
      {leaf, GUI_SEND_TOP_DOWN, mid, 0, "ML", 0},
      {leaf, GUI_SEND_TOP_DOWN, nullptr, 3, "RM", 3},
      {leaf, GUI_SEND_BUBBLE, nullptr, 0, "LMR", 0},
      {leaf, GUI_SEND_BUBBLE, mid, 0, "LM", 0},
      {leaf, GUI_SEND_BUBBLE, nullptr, 1, "LM", 1},
      {leaf, GUI_SEND_TARGET, nullptr, 0, "L", 0},
      {root, GUI_SEND_BROADCAST, nullptr, 0, "RMLlS", 0},
      // 2 skips the subtree and the broadcast goes on.
      {root, GUI_SEND_BROADCAST, nullptr, 2, "RMS", 0},
      {root, GUI_SEND_BROADCAST, nullptr, 1, "RM", 1},
      {nullptr, GUI_SEND_BUBBLE, nullptr, 0, "", 0},
  };
  // A handler whose mask lacks the code is not called.
  for (const Case& c : cases) {
    log.clear();
    hm.answer = c.mid_answer;
    GuiEvent ev(GUI_EV_KEY);
    EXPECT_EQ(send_gui_event(ev, c.box, c.mode, c.stop), c.result) << c.order;
    EXPECT_EQ(log, c.order) << "mode " << c.mode;
  }
  hm.mask = GUI_EV_COMMAND;
  mid->removeHandler(&hm);
  mid->addHandler(&hm, 0);
  log.clear();
  GuiEvent ev(GUI_EV_KEY);
  send_gui_event(ev, leaf, GUI_SEND_BUBBLE, nullptr);
  EXPECT_EQ(log, "LR");
  for (GuiBox* b : {root, mid, leaf, leaf2, side}) b->handlers.clear();
  free_tree(root);
}

TEST(GuiHitTest, TheFirstSolidBoxInTreeOrderThatIsNotItselfHiddenClaimsThePoint)
{
  register_gui_behaviours();
  const GuiLen at0[4] = {gui_px(0), gui_px(0), gui_auto(), gui_auto()};
  GuiBox* root = new_gui_box(gui_px(100), gui_px(100), at0, nullptr, nullptr);
  // Each new box goes before the last one: the children are a, b.
  GuiBox* b = new_gui_box(gui_px(80), gui_px(80), at0, nullptr, root);
  GuiBox* a = new_gui_box(gui_px(50), gui_px(50), at0, nullptr, root);
  for (GuiLen& len : b->borderLen) len = gui_px(2);
  GuiBox* in_b = new_gui_box(gui_px(5), gui_px(5), at0, nullptr, b);
  a->applyBehaviour("solidBox");
  b->applyBehaviour("SOLIDBOX");   // names compare without case
  in_b->applyBehaviour("solidBox");
  root->applyBehaviour("no such behaviour");
  root->layout(nullptr);

  struct Case { float x, y; GuiBox* expected; } cases[] = {
      {10, 10, a},            // a comes first
      {60, 60, b},
      {83, 83, b},            // inside b's border (2 + 80 + 2)
      {84, 84, nullptr},
      {2, 2, a},
      {-1, 5, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(hittest_gui(root, c.x, c.y), c.expected) << c.x << "," << c.y;
  // A solid box hides its children: the inner box is never found.
  EXPECT_EQ(hittest_gui(root, 4, 4), a);
  a->setHidden(true);
  EXPECT_EQ(hittest_gui(root, 4, 4), b);
  EXPECT_EQ(hittest_gui(root, 4 - 2, 4 - 2), b);
  // Only the box's own flag counts: a hidden parent does not hide it.
  a->setHidden(false);
  root->setHidden(true);
  EXPECT_EQ(hittest_gui(root, 10, 10), a);
  free_tree(root);
}

// A screen with a button and a record of the commands that reach the root.
class ButtonInput : public TempConfig
{
protected:
  SoftwareGuiRenderer renderer;
  std::vector<uint32_t> pixels;
  GuiScreen* screen = nullptr;
  GuiBox* button = nullptr;
  std::vector<int> commands;

  struct CommandLog final : GuiEventHandler
  {
    explicit CommandLog(std::vector<int>& c) : GuiEventHandler(GUI_EV_COMMAND), cmds(c) {}
    int handleEvent(GuiEvent& ev, GuiBox*, int) override
    {
      cmds.push_back(static_cast<GuiCommandEvent&>(ev).id);
      return 1;
    }
    void attach(GuiBox*) override {}
    void detach(GuiBox*) override {}
    std::vector<int>& cmds;
  } command_log{commands};

  void SetUp() override
  {
    TempConfig::SetUp();
    renderer.setFont(renderer.loadFont(write_test_font(dir).c_str()));
    font_line_height = 8;
    pixels.assign(640 * 480, 0);
    renderer.setTarget(pixels.data(), 640 * 4, 640, 480);
    d3d_wd = 640;
    d3d_ht = 480;
    init_input(nullptr);
    end_input_frame();
    register_gui_behaviours();
    const GuiLen A = gui_auto();
    const GuiLen centred[4] = {A, A, A, A};
    GuiBox* root = new_gui_box(gui_units(40), gui_units(30), centred, nullptr, nullptr);
    button = add_gui_button(root, 42, "A", 1, gui_units(4), gui_units(2), centred, nullptr);
    root->addHandler(&command_log, -1);
    screen = new GuiScreen(&renderer, root, 40, 30);
  }
  void TearDown() override
  {
    screen->root->removeHandler(&command_log);
    delete screen;
    end_input_frame();
    TempConfig::TearDown();
  }

  const char* face() const
  {
    for (GuiBox* c : button->children)
      if (!c->isHidden()) return c->name;
    return "none";
  }
  void centre(int& x, int& y) const
  {
    x = int((button->padding.left + button->padding.right) / 2);
    y = int((button->padding.top + button->padding.bottom) / 2);
  }
  void step(int type, int key, int x, int y)
  {
    push_input_event(type, key, 0, 0, x, y);
    screen->processInput();
  }
};

TEST_F(ButtonInput, FacesFollowThePointerAndAClickReleasedOnTheButtonSendsItsCommand)
{
  int x, y;
  centre(x, y);
  EXPECT_STREQ(face(), ".normal");
  EXPECT_EQ(screen->pixelScale, 2);   // 640 x 480 with an 8-pixel font
  step(INPUT_MOUSE_MOVE, 0, x, y);
  EXPECT_STREQ(face(), ".over");
  step(INPUT_BUTTON_DOWN, 1, x, y);
  EXPECT_STREQ(face(), ".pressed");
  EXPECT_EQ(screen->capture, button);
  step(INPUT_BUTTON_UP, 1, x, y);
  EXPECT_STREQ(face(), ".over");
  EXPECT_EQ(commands, std::vector<int>{42});
  EXPECT_EQ(screen->capture, nullptr);
  step(INPUT_MOUSE_MOVE, 0, 1, 1);
  EXPECT_STREQ(face(), ".normal");
}

TEST_F(ButtonInput, DraggingOffBeforeReleasingCancelsAndDraggingBackRestoresTheClick)
{
  int x, y;
  centre(x, y);
  step(INPUT_MOUSE_MOVE, 0, x, y);
  step(INPUT_BUTTON_DOWN, 1, x, y);
  step(INPUT_MOUSE_MOVE, 0, 1, 1);
  EXPECT_STREQ(face(), ".normal");
  EXPECT_EQ(screen->hover, nullptr);
  step(INPUT_BUTTON_UP, 1, 1, 1);
  EXPECT_TRUE(commands.empty());
  EXPECT_STREQ(face(), ".normal");

  step(INPUT_MOUSE_MOVE, 0, x, y);
  step(INPUT_BUTTON_DOWN, 1, x, y);
  step(INPUT_MOUSE_MOVE, 0, 1, 1);
  step(INPUT_MOUSE_MOVE, 0, x, y);
  EXPECT_STREQ(face(), ".pressed");   // entered with the button held
  step(INPUT_BUTTON_UP, 1, x, y);
  EXPECT_EQ(commands, std::vector<int>{42});
}

TEST_F(ButtonInput, AButtonInAHiddenBoxIsFoundButIgnoresInputAndShowsNormalWhenShownAgain)
{
  int x, y;
  centre(x, y);
  step(INPUT_MOUSE_MOVE, 0, x, y);
  ASSERT_STREQ(face(), ".over");
  screen->root->setHidden(true);
  EXPECT_STREQ(face(), ".normal");
  EXPECT_EQ(hittest_gui(screen->root, float(x), float(y)), button);
  step(INPUT_BUTTON_DOWN, 1, x, y);
  step(INPUT_BUTTON_UP, 1, x, y);
  EXPECT_TRUE(commands.empty());
  EXPECT_STREQ(face(), ".normal");
  // Nothing of a hidden tree is drawn.
  renderer.clear(0);
  screen->draw();
  for (uint32_t p : pixels) ASSERT_EQ(p, 0u);
  screen->root->setHidden(false);
  EXPECT_STREQ(face(), ".normal");
}

TEST_F(ButtonInput, EveryButtonOfABoxThatIsShownAgainStartsFromItsNormalFace)
{
  const GuiLen A = gui_auto();
  const GuiLen m[4] = {A, A, A, A};
  GuiBox* row = new_gui_box(gui_units(15), gui_units(3), m, nullptr, screen->root);
  GuiBox* squares[3];
  for (int k = 0; k < 3; ++k) {
    squares[k] = add_gui_toggle(row, 50 + k, false, gui_units(2), gui_units(2), m, nullptr);
    squares[k]->findByName(".normal")->flags |= GUI_BOX_HIDDEN;
    squares[k]->findByName(".over")->flags &= uint8_t(~GUI_BOX_HIDDEN);
  }
  row->setHidden(true);
  for (GuiBox* s : squares) {
    EXPECT_FALSE(s->findByName(".normal")->isHidden());
    EXPECT_TRUE(s->findByName(".over")->isHidden());
  }
}

TEST_F(ButtonInput, PixelScaleIsTheSmallerWholeRatioAndAtLeastOne)
{
  struct Case { int w, h, scale; } cases[] = {
      {640, 480, 2}, {1000, 600, 2}, {960, 720, 3}, {300, 200, 1}, {1, 1, 1},
  };
  for (const Case& c : cases) {
    renderer.setTarget(pixels.data(), c.w * 4, c.w, c.h);
    screen->relayout();
    EXPECT_EQ(screen->pixelScale, c.scale) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(screen->getUnitSize(), 8.f * c.scale);
  }
}

TEST_F(ButtonInput, KeyEventsGoToTheBoxUnderThePointerAndUnknownTypesAreFatal)
{
  std::string log;
  RecordingHandler keys(log, 1, GUI_EV_KEY);
  int x, y;
  centre(x, y);
  snprintf(button->name, sizeof(button->name), "btn");
  button->addHandler(&keys, 0);
  step(INPUT_MOUSE_MOVE, 0, x, y);
  step(INPUT_KEY_DOWN, 'A', 0, 0);   // key events carry the pointer's position
  step(INPUT_MOUSE_MOVE, 0, 1, 1);
  step(INPUT_KEY_DOWN, 'A', 0, 0);   // nobody under the pointer: dropped
  button->removeHandler(&keys);
  EXPECT_EQ(log, "+btnbtn-btn");
  InputEvent bad{};
  bad.type = 9;
  EXPECT_EXIT(screen->processInputEvent(bad, button), testing::ExitedWithCode(100),
              "gui\\.cpp\\(223\\): failed ASSERT\\(!\"unknown input event type\"\\)");
}

TEST(GuiTreeDeath, DestroyChecksThatNothingIsLeft)
{
  // A handler that adds itself again while it is removed is left over.
  struct Sticky final : GuiEventHandler
  {
    Sticky() : GuiEventHandler(1) {}
    int handleEvent(GuiEvent&, GuiBox*, int) override { return 0; }
    void attach(GuiBox*) override {}
    void detach(GuiBox* box) override
    {
      if (readded) return;
      readded = true;
      box->handlers.push_back(this);
    }
    bool readded = false;
  };
  EXPECT_EXIT(
      {
        static Sticky sticky;
        GuiBox* b = new_gui_box(gui_auto(), gui_auto(), nullptr, nullptr, nullptr);
        b->addHandler(&sticky, -1);
        b->destroy();
      },
      testing::ExitedWithCode(100), "gui\\.cpp\\(29\\): failed ASSERT\\(handlers\\.empty\\(\\)\\)");
}

}  // namespace
