#pragma once

// quarvex: packs items into boxes. Everything a program needs:
//
//   quarvex::Request request = quarvex::Request::from_json(text);
//   quarvex::Result result = quarvex::pack(request);
//   std::cout << result.to_json(2);

#include "quarvex/error.hpp"
#include "quarvex/pack.hpp"
#include "quarvex/request.hpp"
#include "quarvex/result.hpp"
