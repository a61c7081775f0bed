// The COM kit: the class factory and the objects it makes keep an
// in-process module loaded exactly as long as they should.
#include <gtest/gtest.h>

#include "win32/ClassFactory.h"
#include "win32/InprocModule.h"

using namespace corvisk;

namespace {

class Plain final : public ComObject<IUnknown> {
 protected:
  void* Find(REFIID iid) override { return iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr; }
};

HRESULT CreatePlain(REFIID iid, void** object) { return CreateComObject<Plain>(iid, object); }

TEST(ComKitTest, LiveObjectsAndServerLocksKeepTheModuleButTheFactoryDoesNot) {
  com_ptr<IClassFactory> factory;
  ASSERT_EQ(ClassFactory::Create(&CreatePlain, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(CanUnloadModule(), S_OK) << "a factory the platform caches must not pin the module";
  com_ptr<IUnknown> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
  EXPECT_EQ(CanUnloadModule(), S_FALSE);
  object.reset();
  EXPECT_EQ(CanUnloadModule(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(CanUnloadModule(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(CanUnloadModule(), S_OK);
}

TEST(ComKitTest, FactoryRefusesAggregationAndUnknownInterfaces) {
  com_ptr<IClassFactory> factory;
  ASSERT_EQ(ClassFactory::Create(&CreatePlain, IID_IClassFactory, factory.put_void()), S_OK);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CanUnloadModule(), S_OK) << "the refused object is gone";
}

}  // namespace
