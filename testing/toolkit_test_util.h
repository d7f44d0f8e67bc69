#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "testing/sample_form.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt::testing {

// A fresh application on its own headless backend for every test.
class ToolkitTest : public ::testing::Test {
  protected:
    headless::HeadlessBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
};

}  // namespace tt::testing
