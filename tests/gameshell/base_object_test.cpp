// BaseObject: once-only destruction into the deletion queue, weak references
// that read null once the object is gone, and the base's script push.
#include "gameshell/baseObject.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class Counting : public BaseObject
{
public:
  int destroyed_calls = 0;
  void onDestroy() override { destroyed_calls++; }
};

TEST(BaseObject, AFreshObjectHasNoIdScriptObjectOrFlags)
{
  BaseObject obj;
  EXPECT_EQ(obj.serialId, 0u);
  EXPECT_EQ(obj.flags, 0u);
  EXPECT_TRUE(obj.scriptObj.isNull());
  EXPECT_EQ(obj.scriptObj.vm, nullptr);
  EXPECT_STREQ(obj.getClassName(), "BaseObject");
}

TEST(BaseObject, DestroyQueuesOnceAndCallsOnDestroyOnce)
{
  Counting* obj = new Counting();
  deleted_gameobjs.clear();
  obj->destroy();
  obj->destroy();
  ASSERT_EQ(deleted_gameobjs.num, 1);
  EXPECT_EQ(deleted_gameobjs[0], obj);
  EXPECT_EQ(obj->destroyed_calls, 1);
  EXPECT_EQ(obj->flags & 1u, 1u);
  deleted_gameobjs.clear();
  delete obj;
}

TEST(BaseObject, WeakReferencesReadNullAfterTheObjectIsDeleted)
{
  BaseObject* obj = new BaseObject();
  WeakPtr<BaseObject> a(obj), b(obj), c(obj);
  c.reset();
  delete obj;
  for (WeakPtr<BaseObject>* r : {&a, &b, &c}) {
    EXPECT_EQ(r->get(), nullptr);
    EXPECT_EQ(r->prev, nullptr);
    EXPECT_EQ(r->next, nullptr);
  }
}

TEST(BaseObject, TheBaseCannotBePushedToAScript)
{
  BaseObject obj;
  try {
    obj.push(nullptr);
    FAIL() << "no error";
  } catch (const sqbind::SquirrelError& e) {
    EXPECT_STREQ(e.desc, "Can't push BaseObject to script");
  }
}
}  // namespace
