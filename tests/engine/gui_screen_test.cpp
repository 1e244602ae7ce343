// GUI screens fed from a scripted input queue: hover, capture, key routing,
// the tooltip query and deferred destruction.
#include <gtest/gtest.h>

#include <string>

#include "engine/d3d_render.h"
#include "engine/gui/guiScreen.h"
#include "support/gameshell_stubs.h"

namespace
{
std::string log_text;

class Elem : public BaseGuiElement
{
public:
  std::string name;
  Elem(const char* n, vec4f r) : name(n) { rect = innerRect = r; }
};

// Logs "name:event" for every event it sees; answers keys when told to.
class Logger : public NewGuiEventHandler
{
public:
  const char* answerKeysAt = "";
  Logger() : NewGuiEventHandler(GUI_EV_KEY | GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_UP | GUI_EV_BUTTON_DOWN | GUI_EV_MOVE) {}
  int handle(NewGuiEvent* ev, BaseGuiElement* e, int) override
  {
    const char* kind = "?";
    switch (ev->type) {
      case GUI_EV_KEY: kind = "key"; break;
      case GUI_EV_ENTER: kind = "enter"; break;
      case GUI_EV_LEAVE: kind = "leave"; break;
      case GUI_EV_BUTTON_UP: kind = "up"; break;
      case GUI_EV_BUTTON_DOWN: kind = "down"; break;
      case GUI_EV_MOVE: kind = "move"; break;
    }
    const std::string& n = static_cast<Elem*>(e)->name;
    log_text += (log_text.empty() ? "" : " ") + n + ":" + kind;
    return ev->type == GUI_EV_KEY ? (n == answerKeysAt ? 1 : 0) : 1;
  }
};

Logger logger;

Elem* make(BaseGuiElement* parent, const char* name, vec4f r, bool solid = true)
{
  Elem* e = new Elem(name, r);
  if (parent) parent->addChild(e);
  if (solid) add_behavior(e, &gui_hittest_box_handler);
  add_behavior(e, &logger);
  return e;
}

void move(int x, int y, int flags = 0) { push_input_event(INPUT_MOUSE_MOVE, 0, 0, flags, x, y); }
// A button-down at (x, y); a button-up is where the pointer is.
void button(int type, int flags, int x = -1, int y = -1) { push_input_event(type, 1, 0, flags, x, y); }
void key(int vk) { push_input_event(INPUT_KEY_DOWN, vk, 0, 0, -1, -1); }

class GuiScreenTest : public testing::Test
{
protected:
  BaseGuiScreen* screen = nullptr;
  Elem* a = nullptr;
  void SetUp() override
  {
    init_input(nullptr);
    end_input_frame();
    d3d_wd = 640;
    d3d_ht = 480;
    screen = new BaseGuiScreen();
    // The root has no hit box: outside A is empty space.
    screen->root = make(nullptr, "root", make4f(0, 0, 640, 480), false);
    a = make(screen->root, "A", make4f(10, 10, 50, 50));
    move(300, 300);
    run();
  }
  void TearDown() override
  {
    screen->release();
    destroy_queued_gui_elements();
    end_input_frame();
  }
  std::string run()
  {
    log_text.clear();
    screen->processInput();
    return log_text;
  }
};
}  // namespace

TEST_F(GuiScreenTest, CaptureLastsThroughADragOutAndBack)
{
  move(20, 20);
  EXPECT_EQ(run(), "A:enter A:move");
  button(INPUT_BUTTON_DOWN, INPUT_LBUTTON, 20, 20);
  EXPECT_EQ(run(), "A:down");
  EXPECT_EQ(screen->captured, a);
  // Out: A hears it leave and still gets the moves.
  move(300, 300, INPUT_LBUTTON);
  EXPECT_EQ(run(), "A:leave A:move");
  EXPECT_EQ(screen->hovered, nullptr);
  // Back over it: enter again.
  move(30, 30, INPUT_LBUTTON);
  EXPECT_EQ(run(), "A:enter A:move");
  // Out again, release there: the up goes to A and the capture ends.
  move(300, 300, INPUT_LBUTTON);
  run();
  button(INPUT_BUTTON_UP, 0);
  EXPECT_EQ(run(), "A:up");
  EXPECT_EQ(screen->captured, nullptr);
  // Moves hover normally again.
  move(20, 20);
  EXPECT_EQ(run(), "A:enter A:move");
}

TEST_F(GuiScreenTest, ButtonDownOverEmptySpaceCapturesNothing)
{
  button(INPUT_BUTTON_DOWN, INPUT_LBUTTON, 300, 300);
  EXPECT_EQ(run(), "");
  EXPECT_EQ(screen->captured, nullptr);
  move(20, 20, INPUT_LBUTTON);
  EXPECT_EQ(run(), "A:enter A:move");
  move(300, 300, INPUT_LBUTTON);
  EXPECT_EQ(run(), "A:leave");
}

TEST_F(GuiScreenTest, KeysBroadcastWithoutTargetAndBubbleWithOne)
{
  Elem* b = make(screen->root, "B", make4f(100, 100, 150, 150));
  Elem* b1 = make(b, "B1", make4f(110, 110, 120, 120));
  (void)b1;
  // Nothing under the pointer: the whole tree, until someone answers.
  logger.answerKeysAt = "B";
  key('K');
  EXPECT_EQ(run(), "root:key A:key B:key");
  // Over B1: from B1 up to the root, here stopping at B.
  move(115, 115);
  run();
  key('K');
  EXPECT_EQ(run(), "B1:key B:key");
  logger.answerKeysAt = "";
  key('K');
  EXPECT_EQ(run(), "B1:key B:key root:key");
}

TEST_F(GuiScreenTest, ResetStateSendsLeaveAndDropsCapture)
{
  move(20, 20);
  button(INPUT_BUTTON_DOWN, INPUT_LBUTTON, 20, 20);
  run();
  log_text.clear();
  screen->resetState();
  EXPECT_EQ(log_text, "A:leave");
  EXPECT_EQ(screen->captured, nullptr);
  EXPECT_EQ(screen->hovered, nullptr);
}

TEST_F(GuiScreenTest, TooltipQueryEveryCall)
{
  Elem* tip = make(screen->root, "tip", make4f(200, 200, 250, 250));
  register_std_behaviors();
  ASSERT_TRUE(add_behavior(tip, "tooltip_box"));
  set_element_text(tip, "Fireball", true);
  gui_tooltip_stub_calls = GuiTooltipStubCalls();
  // Nothing answers: hidden on every call, with or without input.
  run();
  run();
  EXPECT_EQ(gui_tooltip_stub_calls.hide, 2);
  EXPECT_EQ(gui_tooltip_stub_calls.show, 0);
  move(220, 220);
  run();
  EXPECT_EQ(gui_tooltip_stub_calls.show, 1);
  EXPECT_STREQ(gui_tooltip_stub_calls.text, "Fireball");
  // An empty text hides it, from the box itself.
  set_element_text(tip, "", true);
  run();
  EXPECT_EQ(gui_tooltip_stub_calls.hide, 3);
}

TEST_F(GuiScreenTest, UnknownInputTypeIsFatal)
{
  EXPECT_EXIT(gui_event_type_of_input(9), testing::ExitedWithCode(100),
              "guiRuntime.*failed ASSERT\\(!\"unknown input event type\"\\)");
}

// --------------------------------------------------------------- destruction --

namespace
{
int deleted_screens = 0, deleted_elements = 0;

class CountedScreen : public BaseGuiScreen
{
public:
  ~CountedScreen() override { deleted_screens++; }
};

// Queues a further screen when it dies.
class QueuingElement : public BaseGuiElement
{
public:
  BaseGuiScreen* next = nullptr;
  ~QueuingElement() override
  {
    deleted_elements++;
    queue_destruction(next);
  }
};
}  // namespace

TEST(GuiDestruction, ScreensFirstAndLateScreensWaitForTheNextPass)
{
  deleted_screens = deleted_elements = 0;
  CountedScreen* s = new CountedScreen();
  QueuingElement* root = new QueuingElement();
  s->root = root;
  root->next = new CountedScreen();
  QueuingElement* extra = new QueuingElement();
  queue_destruction(extra);
  queue_destruction(extra);  // twice: deleted once
  queue_destruction((BaseGuiElement*)nullptr);
  queue_destruction(s);
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted_screens, 1);   // the screen queued by the root waits
  EXPECT_EQ(deleted_elements, 2);  // the root (queued by its screen) and the extra
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted_screens, 2);
  EXPECT_EQ(deleted_elements, 2);
}

TEST(GuiDestruction, AnElementQueuedWithItsParentDiesOnce)
{
  deleted_elements = 0;
  QueuingElement* parent = new QueuingElement();
  QueuingElement* child = new QueuingElement();
  parent->addChild(child);
  queue_destruction(parent);
  queue_destruction(child);
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted_elements, 2);
}
