// A menu on an 80x25 fake console, with a short way to add its items.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "menu/menu.h"
#include "support/fake_console.h"

namespace vexpick::testing {

class MenuTest : public ::testing::Test {
 protected:
  void AddItems(std::initializer_list<const char*> texts) {
    for (const char* text : texts) ASSERT_GE(menu.AddItem(text), 0) << text;
  }

  FakeConsole console;
  TVexpickMenu menu{console};
};

}  // namespace vexpick::testing
