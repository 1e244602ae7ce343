// The GUI runtime without a device: delivery in the four modes, hit-test
// edges, the standard behaviours under scripted input, and the style engine.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/gui/guiEvents.h"
#include "engine/gui/guiScreen.h"
#include "support/gameshell_stubs.h"

namespace
{
class TestElement : public BaseGuiElement
{
public:
  std::string name;
  bool hidden = false, enabled = true;
  explicit TestElement(const char* n, vec4f r = v_zero()) : name(n) { rect = innerRect = r; }
  bool isHidden() override { return hidden; }
  bool isEnabled() override { return enabled; }
  void layout(vec4f, float scale) override { layoutScale = scale; }
};

TestElement* add(BaseGuiElement* parent, const char* name, vec4f r = v_zero())
{
  TestElement* e = new TestElement(name, r);
  if (parent) parent->addChild(e);
  return e;
}

// Records the elements it is offered and answers from a per-name table.
class Recorder : public NewGuiEventHandler
{
public:
  std::vector<std::string> seen;
  std::vector<std::pair<std::string, int>> answers;
  Recorder() : NewGuiEventHandler(GUI_EV_NOTIFY | GUI_EV_KEY) {}
  int handle(NewGuiEvent*, BaseGuiElement* e, int) override
  {
    const std::string& n = static_cast<TestElement*>(e)->name;
    seen.push_back(n);
    for (auto& a : answers)
      if (a.first == n) return a.second;
    return 0;
  }
};

std::string joined(const std::vector<std::string>& v)
{
  std::string s;
  for (auto& x : v) s += (s.empty() ? "" : " ") + x;
  return s;
}

NewGuiInputEvent input(uint32_t type, float x, float y, int flags = 0, int key = 0)
{
  NewGuiInputEvent ev;
  ev.type = type;
  ev.input.x = x;
  ev.input.y = y;
  ev.input.flags = flags;
  ev.input.key = key;
  return ev;
}

int send(BaseGuiElement* e, uint32_t type, float x, float y, int flags = 0)
{
  NewGuiInputEvent ev = input(type, x, y, flags);
  return send_event(&ev, e, GUI_TARGET, nullptr);
}

struct Counts
{
  int press = 0, release = 0, click = 0, clickKey = 0, checkChanged = 0, valueChanged = 0;
  bool lastChecked = false;
};

template <typename F, typename... A>
GuiListener<A...>* listener(F f)
{
  return new GuiFuncListener<F, A...>(f);
}

void count_listeners(BaseGuiElement* e, Counts& c)
{
  add_gui_listener(e->onPress, listener<std::function<void()>>([&c] { c.press++; }));
  add_gui_listener(e->onRelease, listener<std::function<void()>>([&c] { c.release++; }));
  add_gui_listener(e->onClick, listener<std::function<void(bool)>, bool>([&c](bool v) {
                     c.click++;
                     c.lastChecked = v;
                   }));
  add_gui_listener(e->onCheckChanged, listener<std::function<void(bool)>, bool>([&c](bool) { c.checkChanged++; }));
  add_gui_listener(e->onClickKey,
                   listener<std::function<void(BaseGuiElement*, int)>, BaseGuiElement*, int>(
                       [&c](BaseGuiElement*, int) { c.clickKey++; }));
  add_gui_listener(e->onValueChanged,
                   listener<std::function<void(BaseGuiElement*)>, BaseGuiElement*>([&c](BaseGuiElement*) {
                     c.valueChanged++;
                   }));
}

class GuiRuntimeTest : public testing::Test
{
protected:
  int registered = 0;
  void SetUp() override
  {
    registered = num_registered_behaviors();
    register_std_behaviors();
  }
  void TearDown() override
  {
    destroy_queued_gui_elements();
    unregister_behaviors_after(registered);
  }
};
}  // namespace

// ----------------------------------------------------------------- delivery --

TEST_F(GuiRuntimeTest, DeliveryInTheFourModes)
{
  //        root
  //      a      b
  //    a1  a2
  Recorder rec;
  TestElement root("root");
  TestElement* a = add(&root, "a");
  TestElement* a1 = add(a, "a1");
  add(a, "a2");
  add(&root, "b");
  std::vector<BaseGuiElement*> all = {&root, a, a1, a->children[1], root.children[1]};
  for (BaseGuiElement* e : all) add_behavior(e, &rec);

  struct Case
  {
    const char* what;
    BaseGuiElement* from;
    int mode;
    BaseGuiElement* stop;
    std::vector<std::pair<std::string, int>> answers;
    const char* seen;
    int result;
  } cases[] = {
      // root first: from the top down to the element
      {"root first", a1, GUI_ROOT_FIRST, nullptr, {}, "root a a1", 0},
      {"root first ends at an answer", a1, GUI_ROOT_FIRST, nullptr, {{"a", 1}}, "root a", 1},
      {"root first from the stop element", a1, GUI_ROOT_FIRST, a, {}, "a a1", 0},
      // bubble: from the element up
      {"bubble", a1, GUI_BUBBLE, nullptr, {}, "a1 a root", 0},
      {"bubble ends at an answer", a1, GUI_BUBBLE, nullptr, {{"a", 2}}, "a1 a", 2},
      {"bubble ends at the stop element", a1, GUI_BUBBLE, a, {}, "a1 a", 0},
      // target only
      {"target", a1, GUI_TARGET, nullptr, {{"a1", 1}}, "a1", 1},
      // broadcast: depth first in array order
      {"broadcast", &root, GUI_BROADCAST, nullptr, {}, "root a a1 a2 b", 0},
      {"a 2 skips the subtree, siblings go on", &root, GUI_BROADCAST, nullptr, {{"a", 2}}, "root a b", 0},
      {"a 1 ends the broadcast", &root, GUI_BROADCAST, nullptr, {{"a1", 1}}, "root a a1", 1},
      {"a child's 2 does not stop its siblings", &root, GUI_BROADCAST, nullptr, {{"a1", 2}}, "root a a1 a2 b", 0},
      // outside the four modes
      {"mode 4", a1, 4, nullptr, {}, "", 0},
      {"no element", nullptr, GUI_TARGET, nullptr, {}, "", 0},
  };
  for (const Case& c : cases) {
    rec.seen.clear();
    rec.answers = c.answers;
    NewGuiNotifyEvent ev(5);
    EXPECT_EQ(send_event(&ev, c.from, c.mode, c.stop), c.result) << c.what;
    EXPECT_EQ(joined(rec.seen), c.seen) << c.what;
  }

  // An event whose bit is not in the element's mask reaches none of its behaviours.
  rec.seen.clear();
  NewGuiEvent wheel(GUI_EV_WHEEL);
  EXPECT_EQ(send_event(&wheel, &root, GUI_BROADCAST, nullptr), 0);
  EXPECT_TRUE(rec.seen.empty());
}

// ---------------------------------------------------------------- hit tests --

TEST_F(GuiRuntimeTest, HitTestEdgesOverlapsAndHiddenBoxes)
{
  TestElement root("root", make4f(0, 0, 100, 100));
  TestElement* c1 = add(&root, "c1", make4f(10, 10, 50, 50));
  TestElement* c2 = add(&root, "c2", make4f(30, 30, 70, 70));
  TestElement* plain = add(&root, "plain", make4f(80, 0, 100, 20));  // no solid_box
  TestElement* inner = add(plain, "inner", make4f(85, 5, 90, 10));
  TestElement* g = add(c2, "g", make4f(200, 200, 210, 210));  // outside its parent
  for (TestElement* e : {&root, c1, c2, inner, g}) ASSERT_TRUE(add_behavior(e, "solid_box"));
  const float nan = std::nanf("");

  struct Case
  {
    float x, y;
    BaseGuiElement* hit;
  } cases[] = {
      {10, 20, &root},  // c1's left edge is outside c1
      {20, 10, &root},  // and its top edge
      {50, 20, c1},     // its right edge is inside
      {20, 50, c1},     // and its bottom edge
      {40, 40, c1},     // c1 and c2 overlap: the earlier child wins
      {60, 60, c2},
      {205, 205, g},    // a child outside its parent's rectangle
      {0, 0, nullptr},  // the root's own left-top corner
      {100, 100, &root},
      {nan, 20, nullptr},
      {20, nan, nullptr},
      {87, 7, inner},   // an element without solid_box is not hit, its children are
      {95, 15, &root},
  };
  for (const Case& c : cases)
    EXPECT_EQ(hit_test(&root, c.x, c.y), c.hit) << c.x << ", " << c.y;

  // A hidden box hides its whole subtree, even where a child lies outside it.
  c2->hidden = true;
  EXPECT_EQ(hit_test(&root, 205, 205), nullptr);
  EXPECT_EQ(hit_test(&root, 60, 60), &root);
  EXPECT_EQ(hit_test(&root, 40, 40), c1);  // siblings after it are still searched
  // The hidden query belongs to the box: a hidden element without one is searched.
  plain->hidden = true;
  EXPECT_EQ(hit_test(&root, 87, 7), inner);
}

// ------------------------------------------------------------------ buttons --

TEST_F(GuiRuntimeTest, ButtonClicksOnlyWhenReleasedOverItself)
{
  TestElement root("root", make4f(0, 0, 100, 100));
  TestElement* button = add(&root, "button", make4f(10, 10, 50, 50));
  TestElement* icon = add(button, "icon", make4f(20, 20, 30, 30));
  add_behavior(&root, "solid_box");
  add_behavior(button, "solid_box");
  add_behavior(button, "button");
  add_behavior(icon, "solid_box");
  Counts c;
  count_listeners(button, c);

  // Press inside, release inside: one click with its key.
  send(button, GUI_EV_ENTER, 30, 40);
  EXPECT_TRUE(get_element_hover(button));
  send(button, GUI_EV_BUTTON_DOWN, 30, 40, INPUT_LBUTTON);
  EXPECT_TRUE(get_element_pressed(button));
  send(button, GUI_EV_BUTTON_UP, 30, 40);
  EXPECT_EQ(c.press, 1);
  EXPECT_EQ(c.release, 1);
  EXPECT_EQ(c.click, 1);
  EXPECT_EQ(c.clickKey, 1);
  EXPECT_FALSE(get_element_pressed(button));

  // Press inside, release outside: no click, hover gone.
  send(button, GUI_EV_BUTTON_DOWN, 30, 40, INPUT_LBUTTON);
  send(button, GUI_EV_BUTTON_UP, 80, 80);
  EXPECT_EQ(c.click, 1);
  EXPECT_FALSE(get_element_hover(button));
  EXPECT_EQ(c.release, 2);

  // Released over a solid child of the button: the hit is not the button.
  send(button, GUI_EV_BUTTON_DOWN, 25, 25, INPUT_LBUTTON);
  send(button, GUI_EV_BUTTON_UP, 25, 25);
  EXPECT_EQ(c.click, 1);

  // Released with the other button still held: pressed stays, no click.
  send(button, GUI_EV_BUTTON_DOWN, 30, 40, INPUT_LBUTTON | INPUT_RBUTTON);
  send(button, GUI_EV_BUTTON_UP, 30, 40, INPUT_RBUTTON);
  EXPECT_TRUE(get_element_pressed(button));
  EXPECT_EQ(c.click, 1);
  // Entering with a button held presses; reset releases and forgets hover.
  NewGuiEvent reset(GUI_EV_RESET);
  EXPECT_EQ(send_event(&reset, button, GUI_TARGET, nullptr), 0);
  EXPECT_FALSE(get_element_pressed(button));
  EXPECT_EQ(c.release, 4);
  send(button, GUI_EV_ENTER, 30, 40, INPUT_LBUTTON);
  EXPECT_TRUE(get_element_pressed(button));
  send(button, GUI_EV_LEAVE, 80, 80, INPUT_LBUTTON);
  EXPECT_FALSE(get_element_pressed(button));

  // A disabled button ignores input.
  button->enabled = false;
  EXPECT_EQ(send(button, GUI_EV_BUTTON_DOWN, 30, 40, INPUT_LBUTTON), 0);
  EXPECT_FALSE(get_element_pressed(button));
}

TEST_F(GuiRuntimeTest, CheckboxAndRadioGroup)
{
  TestElement group("group", make4f(0, 0, 100, 100));
  TestElement* r[3];
  Counts rc[3];
  for (int i = 0; i < 3; i++) {
    r[i] = add(&group, "radio", make4f(0, float(i * 10), 100, float(i * 10 + 10)));
    add_behavior(r[i], "solid_box");
    add_behavior(r[i], "radio_button");
    count_listeners(r[i], rc[i]);
  }
  TestElement* box = add(&group, "box", make4f(0, 50, 100, 60));
  add_behavior(box, "solid_box");
  add_behavior(box, "checkbox");
  Counts bc;
  count_listeners(box, bc);

  // The checkbox flips and reports the new value, then clicks with it.
  send(box, GUI_EV_BUTTON_DOWN, 5, 55, INPUT_LBUTTON);
  send(box, GUI_EV_BUTTON_UP, 5, 55);
  EXPECT_TRUE(get_element_checked(box));
  EXPECT_EQ(bc.checkChanged, 1);
  EXPECT_TRUE(bc.lastChecked);

  // Clicking radio 1 checks it alone; every radio of the group hears of it;
  // the checkbox sibling is not part of the group.
  send(r[1], GUI_EV_BUTTON_DOWN, 5, 15, INPUT_LBUTTON);
  send(r[1], GUI_EV_BUTTON_UP, 5, 15);
  EXPECT_FALSE(get_element_checked(r[0]));
  EXPECT_TRUE(get_element_checked(r[1]));
  EXPECT_FALSE(get_element_checked(r[2]));
  for (int i = 0; i < 3; i++) EXPECT_EQ(rc[i].checkChanged, 1);
  EXPECT_EQ(rc[1].click, 1);
  EXPECT_EQ(rc[0].click, 0);
  EXPECT_TRUE(get_element_checked(box));

  // A radio without a parent only calls its own listeners.
  TestElement lone("lone", make4f(0, 0, 10, 10));
  add_behavior(&lone, "solid_box");
  add_behavior(&lone, "radio_button");
  Counts lc;
  count_listeners(&lone, lc);
  send(&lone, GUI_EV_BUTTON_DOWN, 5, 5, INPUT_LBUTTON);
  send(&lone, GUI_EV_BUTTON_UP, 5, 5);
  EXPECT_EQ(lc.click, 1);
  EXPECT_EQ(lc.checkChanged, 0);
}

TEST_F(GuiRuntimeTest, SliderValueAndThumbAtTheClamps)
{
  // Inner span 0..110, thumb 10 wide: 100 pixels of travel, layout scale 2.
  TestElement slider("slider", make4f(0, 0, 110, 10));
  slider.layoutScale = 2.f;
  TestElement* thumb = add(&slider, "thumb", make4f(0, 0, 10, 10));
  thumb->setClassFlag(GUI_FLAG_SLIDER_THUMB, true);
  add_behavior(&slider, "solid_box");
  add_behavior(&slider, "h_slider");
  set_gui_prop<GUI_MAX_VALUE>(&slider, 4.0, false);
  Counts c;
  count_listeners(&slider, c);

  struct Case
  {
    float x;
    double value;
    float left, right;
  } cases[] = {
      {-50, 0.0, 0, 50},   // clamped at the start
      {5, 0.0, 0, 50},     // the thumb's centre at the start
      {55, 2.0, 25, 25},   // half way
      {105, 4.0, 50, 0},   // the end
      {500, 4.0, 50, 0},   // clamped at the end
  };
  for (const Case& k : cases) {
    send(&slider, GUI_EV_MOVE, k.x, 5, INPUT_LBUTTON);
    EXPECT_EQ(get_element_value(&slider), k.value) << k.x;
    vec4f off = get_element_offsets(thumb, false);
    EXPECT_FLOAT_EQ(off[0], k.left) << k.x;
    EXPECT_FLOAT_EQ(off[2], k.right) << k.x;
  }
  EXPECT_EQ(c.valueChanged, 2);  // 0 -> 2 -> 4; repeated values are not reported
  EXPECT_TRUE(get_element_pressed(&slider));
  // A move without a button releases it and moves nothing.
  send(&slider, GUI_EV_MOVE, 55, 5);
  EXPECT_FALSE(get_element_pressed(&slider));
  EXPECT_EQ(get_element_value(&slider), 4.0);

  // Maximum 0: a drag writes 0; the value notify treats the maximum as 1.
  set_gui_prop<GUI_MAX_VALUE>(&slider, 0.0, false);
  send(&slider, GUI_EV_MOVE, 55, 5, INPUT_LBUTTON);
  EXPECT_EQ(get_element_value(&slider), 0.0);
  set_element_value(&slider, 0.25, false);
  NewGuiNotifyEvent notify(GUI_NOTIFY_VALUE_CHANGED);
  EXPECT_EQ(send_event(&notify, &slider, GUI_TARGET, nullptr), 1);
  EXPECT_FLOAT_EQ(get_element_offsets(thumb, false)[0], 12.5f);
  NewGuiNotifyEvent other(7);
  EXPECT_EQ(send_event(&other, &slider, GUI_TARGET, nullptr), 0);
}

// ---------------------------------------------------------------- registry --

TEST_F(GuiRuntimeTest, RegistryKeepsTheFirstOfEachName)
{
  Recorder first, second;
  int before = num_registered_behaviors();
  register_behavior(&first, "test_rec");
  register_behavior(&second, "test_rec");
  EXPECT_EQ(get_behavior("test_rec"), &first);
  EXPECT_EQ(get_behavior("Test_rec"), nullptr);
  EXPECT_EQ(get_behavior("solid_box"), &gui_hittest_box_handler);
  EXPECT_EQ(get_behavior("button"), button_behavior);
  EXPECT_EQ(unregister_behaviors_after(before), 1);
  EXPECT_EQ(get_behavior("test_rec"), nullptr);
}

// ------------------------------------------------------------------ styles --

namespace
{
class Sel : public GuiSelector
{
public:
  int flag, ord;
  Sel(int f, int o) : flag(f), ord(o) {}
  bool matches(BaseGuiElement* e) override { return e->hasClassFlag(flag); }
  int order() override { return ord; }
};

// Counts its clones; value() gives the value it started from.
class Trans : public GuiTransition
{
public:
  vec4f from = v_zero();
  int* clones;
  explicit Trans(int* c) : clones(c) {}
  void start(vec4f f) override { from = f; }
  vec4f value(vec4f, float) override { return from; }
  GuiTransition* clone() const override
  {
    ++*clones;
    return new Trans(clones);
  }
};

float colour_slot_red(BaseGuiElement* e) { return resolve_gui_prop(e, 3)[0]; }
}  // namespace

TEST_F(GuiRuntimeTest, RestyleOrderOwnPropertiesAndBehaviours)
{
  GuiStyle style;
  // Flag 1: red 0x11 (order 5) and 0x22 (order 5, added later); flag 2: 0x33
  // (order 1, so it loses to both); flag 3: an unknown and a known behaviour.
  style.addSheet(new Sel(1, 5), gui_prop<3>(D3dColor(0xFF110000u)));
  style.addSheet(new Sel(1, 5), gui_prop<3>(D3dColor(0xFF220000u)));
  style.addSheet(new Sel(2, 1), gui_prop<3>(D3dColor(0xFF330000u), gui_prop<11>(12.f)));
  style.addSheet(new Sel(3, 0), gui_behaviors_prop("no_such_behavior\0button\0"));

  TestElement root("root");
  TestElement* e = add(&root, "e");
  e->classFlags = (1u << 1) | (1u << 2) | (1u << 3);
  style.restyle(&root, true);
  EXPECT_FLOAT_EQ(colour_slot_red(e), 0x22 / 255.f);  // of equal orders the later wins
  EXPECT_FLOAT_EQ(resolve_gui_prop(e, 11)[2], 12.f);   // a lower order still fills other slots
  EXPECT_FLOAT_EQ(resolve_gui_prop(&root, 11)[0], 30.f);  // the default
  ASSERT_EQ(e->behaviors.num, 1);  // the unknown name is skipped without error
  EXPECT_EQ(e->behaviors[0], button_behavior);

  // An own property beats every sheet.
  set_gui_prop<3>(e, D3dColor(0xFF440000u), false);
  EXPECT_TRUE(e->needRestyle && root.needRestyle);
  style.restyle(&root, false);
  EXPECT_FLOAT_EQ(colour_slot_red(e), 0x44 / 255.f);
  EXPECT_FALSE(e->needRestyle);

  // Setting the value it already has marks nothing.
  set_gui_prop<3>(e, D3dColor(0xFF440000u), false);
  EXPECT_FALSE(e->needRestyle || root.needRestyle);
  // Quiet setters never mark.
  set_gui_prop<3>(e, D3dColor(0xFF450000u), true);
  EXPECT_FALSE(e->needRestyle || root.needRestyle);
}

TEST_F(GuiRuntimeTest, RestyleKeepsOrRestartsTransitions)
{
  int clones = 0;
  GuiStyle style;
  style.addSheet(new Sel(1, 0), gui_prop<3>(D3dColor(0xFF000000u), gui_transition_prop(new Trans(&clones), "\x04")));
  style.addSheet(new Sel(2, 1), gui_prop<3>(D3dColor(0xFFFF0000u)));
  TestElement e("e");
  e.classFlags = 1u << 1;
  style.restyle(&e, true);
  ASSERT_NE(e.transitions[3], nullptr);
  EXPECT_EQ(clones, 1);
  EXPECT_EQ(e.transitions[4], nullptr);  // only the listed slot
  GuiTransition* running = e.transitions[3];

  // The same match set: the running transition stays.
  style.restyle(&e, true);
  EXPECT_EQ(e.transitions[3], running);
  EXPECT_EQ(clones, 1);

  // Another match set: restarted from the old resolved value (black).
  e.setClassFlag(2, true);
  style.restyle(&e, false);
  ASSERT_NE(e.transitions[3], nullptr);
  EXPECT_EQ(clones, 2);
  vec4f shown = get_gui_value(&e, 3, 0.f);
  EXPECT_FLOAT_EQ(shown[0], 0.f);
  EXPECT_FLOAT_EQ(shown[3], 1.f);
  EXPECT_FLOAT_EQ(colour_slot_red(&e), 1.f);  // the target is red
}

TEST_F(GuiRuntimeTest, TransitionForAllSlotsEmptyStringOrEveryByte)
{
  std::string all;
  for (int i = 1; i <= NUM_GUI_PROPS; i++) all += char(i);
  int counts[2] = {0, 0};
  for (int k = 0; k < 2; k++) {
    GuiStyle style;
    style.addSheet(new Sel(1, 0), gui_transition_prop(new Trans(&counts[k]), k ? all.c_str() : ""));
    style.addSheet(new Sel(2, 0), gui_prop<4>(1.f, gui_prop<12>(D3dColor(0u), gui_prop<23>(true))));
    TestElement e("e");
    e.classFlags = 1u << 1;
    style.restyle(&e, true);
    e.setClassFlag(2, true);
    style.restyle(&e, false);
    // Slots 4 and 12 resolve and changed; slot 23 never runs a transition.
    EXPECT_NE(e.transitions[4], nullptr);
    EXPECT_NE(e.transitions[12], nullptr);
    EXPECT_EQ(e.transitions[23], nullptr);
  }
  EXPECT_EQ(counts[0], counts[1]);
  EXPECT_GT(counts[0], 0);
}

TEST_F(GuiRuntimeTest, ResolvingDefaultsAndKinds)
{
  TestElement e("e");
  vec4f v[NUM_GUI_PROPS];
  resolve_gui_props(e.props, v);
  EXPECT_FLOAT_EQ(v[3][3], 0x44 / 255.f);
  EXPECT_FLOAT_EQ(v[12][0], 1.f);
  EXPECT_FLOAT_EQ(v[20][1], 10.f);
  EXPECT_FLOAT_EQ(v[32][2], 100.f);
  EXPECT_FLOAT_EQ(v[29][0], 0.f);  // not resolved
  set_gui_prop<10>(&e, D3dColor(0x80FF0000u), true);
  set_gui_prop<5>(&e, make4f(1, 2, 3, 4), true);
  EXPECT_FLOAT_EQ(resolve_gui_prop(&e, 10)[3], 128 / 255.f);
  EXPECT_FLOAT_EQ(resolve_gui_prop(&e, 5)[2], 3.f);
  EXPECT_EQ(get_element_max_value(&e), 1.0);
  set_element_text(&e, "tip", true);
  EXPECT_STREQ(get_element_text(&e), "tip");
}
