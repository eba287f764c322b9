#include <gtest/gtest.h>
#include "quarvex/model/pack_response.hpp"
TEST(Smoke, Builds) { SUCCEED(); }
