# Set-up, build and test entry points. Every target installs what it needs first.
SHELL := /bin/bash
VENV := .venv
PY := $(VENV)/bin/python
JOBS ?= 2
APT_PACKAGES := cmake g++ make nlohmann-json3-dev libgtest-dev

.PHONY: setup build module cpp-test py-test py-sanitize test sanitize demo bench clean

setup: $(VENV)/.ready

$(VENV)/.ready: requirements-dev.txt scripts/setup.sh
	bash scripts/setup.sh $(VENV) $(APT_PACKAGES)
	touch $@

build/cpp/Makefile: CMakeLists.txt | setup
	cmake -S . -B build/cpp -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_BUILD_TESTS=ON

build: setup build/cpp/Makefile
	cmake --build build/cpp -j$(JOBS)

cpp-test: build
	ctest --test-dir build/cpp --output-on-failure -j$(JOBS)

module: setup
	$(PY) -m pip install --no-build-isolation --no-deps -q .

py-test: module
	$(PY) -m pytest -q

test: cpp-test py-test sanitize

build/sanitize/Makefile: CMakeLists.txt | setup
	cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUARVEX_BUILD_TESTS=ON -DQUARVEX_SANITIZE=ON

sanitize: setup build/sanitize/Makefile
	cmake --build build/sanitize -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/sanitize --output-on-failure -j$(JOBS)

# The Python tests against a module built with ASan and UBSan. The interpreter
# itself is not instrumented, so the runtimes are preloaded and leak checks
# (which would report the interpreter's own allocations) are off.
PY_SAN_DIR ?= build/py-sanitize

$(PY_SAN_DIR)/Makefile: CMakeLists.txt | setup
	cmake -S . -B $(PY_SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUARVEX_BUILD_MODULE=ON -DQUARVEX_SANITIZE=ON \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR="$$($(PY) -m pybind11 --cmakedir)"

py-sanitize: setup $(PY_SAN_DIR)/Makefile
	cmake --build $(PY_SAN_DIR) -j$(JOBS) --target quarvex
	LD_PRELOAD="$$(c++ -print-file-name=libasan.so) $$(c++ -print-file-name=libubsan.so)" \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 PYTHONPATH=$(PY_SAN_DIR) \
	  $(PY) -m pytest -q

demo: module
	$(PY) examples/pack_order.py examples/order.json

# Benchmarks: `make bench QUICK=1` for the short run; BENCH_ARGS go to the suite as they are.
BENCH_ARGS ?=

$(VENV)/.bench-ready: bench/requirements.txt | setup
	$(PY) -m pip install -q -r bench/requirements.txt
	touch $@

bench: module $(VENV)/.bench-ready
	$(PY) -m bench $(if $(QUICK),--quick) $(BENCH_ARGS)

clean:
	rm -rf build
