# Set-up, build and test entry points. Every target installs what it needs first.
SHELL := /bin/bash
VENV := .venv
PY := $(VENV)/bin/python
JOBS ?= 2
# clang-format: `make lint` checks the C++ layout. chromium: the browser test of quarvex.viz's
# pages runs it headless; clang and its runtimes: the request fuzzer is built with libFuzzer.
APT_PACKAGES := cmake g++ make nlohmann-json3-dev libgtest-dev chromium clang libclang-rt-dev clang-format
# Extras of pyproject.toml that development and CI install.
EXTRAS := test,dask,cli,viz,browser-test,serve

.PHONY: setup lint format build module cpp-test cpp-package json-fallback py-test stub stub-check typecheck py-sanitize test sanitize tsan fuzz-build fuzz fuzz-smoke golden demo bench bench-service mutation mutation-sample service-fuzz clean

setup: $(VENV)/.ready

$(VENV)/.ready: pyproject.toml scripts/setup.sh scripts/requirements.py
	bash scripts/setup.sh $(VENV) $(EXTRAS) $(APT_PACKAGES)
	touch $@

# Style: ruff for Python, clang-format for C++ (configured in pyproject.toml and .clang-format).
# Untracked files too, so a new file is checked before its first commit; wildcard drops deleted ones.
CXX_SOURCES = $(wildcard $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.hpp'))

lint: setup
	$(VENV)/bin/ruff check .
	$(VENV)/bin/ruff format --check .
	@echo "clang-format --dry-run -Werror <every C++ source>"
	@clang-format --dry-run -Werror $(CXX_SOURCES)

format: setup
	$(VENV)/bin/ruff check --fix .
	$(VENV)/bin/ruff format .
	clang-format -i $(CXX_SOURCES)

build/cpp/Makefile: CMakeLists.txt | setup
	cmake -S . -B build/cpp -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_BUILD_TESTS=ON -DQUARVEX_WERROR=ON

build: setup build/cpp/Makefile
	cmake --build build/cpp -j$(JOBS)

cpp-test: build
	ctest --test-dir build/cpp --output-on-failure -j$(JOBS)

# The C++ package installed into a scratch prefix, and the example built out of
# tree against it as a consumer would build it. EXAMPLE_THREADS: how many
# threads the example packs on.
CPP_PREFIX := build/cpp-install
EXAMPLE_THREADS ?= 2

cpp-package: build
	rm -rf $(CPP_PREFIX) build/cpp-example
	cmake --install build/cpp --prefix $(CPP_PREFIX) > /dev/null
	cmake -S examples/cpp -B build/cpp-example -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_PREFIX_PATH=$(abspath $(CPP_PREFIX)) -DCMAKE_COMPILE_WARNING_AS_ERROR=ON > /dev/null
	cmake --build build/cpp-example -j$(JOBS)
	build/cpp-example/pack_threads examples/order.json $(EXAMPLE_THREADS)

# A machine without a system nlohmann-json: the library built with the system
# copy hidden, so it reads the headers of the Python package from PyPI.
json-fallback: setup
	set -o pipefail; cmake -S . -B build/json-fallback -DCMAKE_BUILD_TYPE=Release -DQUARVEX_WERROR=ON \
	  -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON -DPython_EXECUTABLE=$(abspath $(PY)) \
	  | grep 'nlohmann_json: the headers of the Python package'
	cmake --build build/json-fallback -j$(JOBS) --target quarvex

module: setup
	$(PY) -m pip install --no-build-isolation --no-deps -q -C cmake.define.QUARVEX_WERROR=ON .

py-test: module stub-check typecheck
	$(PY) -m pytest -q

# The type stub is generated from the built extension and committed; `make stub`
# rewrites it after a change of the bindings, and the tests fail while it is stale.
STUBGEN = $(PY) scripts/stubgen.py

stub: module
	$(STUBGEN) build/stub
	cp build/stub/quarvex/_core.pyi python/quarvex/_core.pyi

stub-check: module
	$(STUBGEN) build/stub
	@diff -u python/quarvex/_core.pyi build/stub/quarvex/_core.pyi || \
	  { echo "python/quarvex/_core.pyi is stale: run 'make stub' and commit it." >&2; exit 1; }

# A type checker must accept the examples through the installed package's stub, and the
# pictures module and the command line as they are written.
typecheck: module
	$(PY) -m mypy --strict examples/pack_order.py examples/view_order.py python/quarvex/viz python/quarvex/cli.py python/quarvex/service

test: lint cpp-test cpp-package json-fallback py-test sanitize tsan fuzz-smoke
	@$(PY) scripts/test_ratio.py

build/sanitize/Makefile: CMakeLists.txt | setup
	cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUARVEX_BUILD_TESTS=ON -DQUARVEX_SANITIZE=ON -DQUARVEX_WERROR=ON

sanitize: setup build/sanitize/Makefile
	cmake --build build/sanitize -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/sanitize --output-on-failure -j$(JOBS)

# ThreadSanitizer over the threads stress test: C++ threads packing shared
# requests at once. (The Python threads stress runs in the normal tests: an
# interpreter not built with TSan gives it false reports.)
build/tsan/Makefile: CMakeLists.txt | setup
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_BUILD_TESTS=ON -DQUARVEX_TSAN=ON -DQUARVEX_WERROR=ON

tsan: setup build/tsan/Makefile
	cmake --build build/tsan -j$(JOBS) --target quarvex_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build/tsan/quarvex_tests --gtest_filter='Threads.*'

# The Python tests against a module built with ASan and UBSan. The interpreter
# itself is not instrumented, so the runtimes are preloaded and leak checks
# (which would report the interpreter's own allocations) are off.
PY_SAN_DIR ?= build/py-sanitize

$(PY_SAN_DIR)/Makefile: CMakeLists.txt | setup
	cmake -S . -B $(PY_SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUARVEX_BUILD_MODULE=ON -DQUARVEX_SANITIZE=ON \
	  -DQUARVEX_WERROR=ON -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR="$$($(PY) -m pybind11 --cmakedir)"

# The package is assembled beside the instrumented extension and put first on
# the path; the installed package (from `make module`) supplies its metadata.
py-sanitize: module $(PY_SAN_DIR)/Makefile
	cmake --build $(PY_SAN_DIR) -j$(JOBS) --target _core
	rm -rf $(PY_SAN_DIR)/site && mkdir -p $(PY_SAN_DIR)/site
	cp -r python/quarvex $(PY_SAN_DIR)/site/ && cp $(PY_SAN_DIR)/_core*.so $(PY_SAN_DIR)/site/quarvex/
	LD_PRELOAD="$$(c++ -print-file-name=libasan.so) $$(c++ -print-file-name=libubsan.so)" \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 PYTHONPATH=$(PY_SAN_DIR)/site \
	  $(PY) -m pytest -q

# The request fuzzer: libFuzzer with ASan and UBSan over the request reader, the
# packer and the writer, seeded with the golden requests. Inputs that add coverage
# collect in build/fuzz/corpus; a finding is written beside it as crash-*, timeout-*
# or leak-*, and `build/fuzz/quarvex_request_fuzzer FILE` replays it.
FUZZ_DIR := build/fuzz
FUZZ_RUNS ?= 1000000
FUZZ = $(FUZZ_DIR)/quarvex_request_fuzzer $(FUZZ_DIR)/corpus $(FUZZ_DIR)/seeds -dict=tests/fuzz/request.dict \
  -max_len=8192 -timeout=10 -rss_limit_mb=2048 -artifact_prefix=$(FUZZ_DIR)/ -print_final_stats=1

$(FUZZ_DIR)/Makefile: CMakeLists.txt | setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_FUZZ=ON \
	  -DQUARVEX_SANITIZE=ON -DQUARVEX_WERROR=ON

fuzz-build: setup $(FUZZ_DIR)/Makefile
	cmake --build $(FUZZ_DIR) -j$(JOBS) --target quarvex_request_fuzzer
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/seeds
	cp tests/data/golden/*.request.json $(FUZZ_DIR)/seeds/

# A long run of FUZZ_RUNS inputs (`make fuzz FUZZ_RUNS=-1` runs until stopped).
fuzz: fuzz-build
	$(FUZZ) -runs=$(FUZZ_RUNS)

# The short run of `make test`: a minute, after replaying the corpus.
fuzz-smoke: fuzz-build
	$(FUZZ) -max_total_time=60

# Records the responses under tests/data anew; only for an intended change of behaviour.
golden: module
	$(PY) scripts/make_golden.py

demo: module
	$(PY) examples/pack_order.py examples/order.json

# Deliberate faults in the engine that the suite must catch: all of them (long), or
# the sample that CI runs after the suite has passed.
mutation: setup
	$(PY) scripts/mutation_check.py

mutation-sample: setup
	$(PY) scripts/mutation_check.py --sample --no-baseline

# Schemathesis against a local `quarvex serve` (a few dozen cases per endpoint).
service-fuzz: module
	bash scripts/service_fuzz.sh $(PY)

# Benchmarks: `make bench QUICK=1` for the short run; BENCH_ARGS go to the suite as they are.
# BASELINE=<revision> builds that revision's module too and times the worst cases on both.
BENCH_ARGS ?=
BASELINE ?=
BASELINE_DIR = build/baseline/$(if $(BASELINE),$(shell git rev-parse --short $(BASELINE)))

$(VENV)/.bench-ready: bench/requirements.txt | setup
	$(PY) -m pip install -q -r bench/requirements.txt
	touch $@

bench: module build $(VENV)/.bench-ready $(if $(BASELINE),$(BASELINE_DIR)/site/quarvex)
	$(PY) -m bench $(if $(QUICK),--quick) $(if $(BASELINE),--baseline $(BASELINE_DIR)/site) $(BENCH_ARGS)

# The service under load from wrk (Debian's); BENCH_ARGS go to bench.service as they are.
bench-service: module $(VENV)/.bench-ready
	bash scripts/setup.sh $(VENV) $(EXTRAS) wrk
	$(PY) -m bench.service $(BENCH_ARGS)

# The package of another revision, from its own sources, beside (not over) this checkout's.
$(BASELINE_DIR)/site/quarvex: | setup
	rm -rf $(BASELINE_DIR) && mkdir -p $(BASELINE_DIR)/src $(BASELINE_DIR)/site
	git archive $(BASELINE) | tar -x -C $(BASELINE_DIR)/src
	cmake -S $(BASELINE_DIR)/src -B $(BASELINE_DIR)/build -DCMAKE_BUILD_TYPE=Release -DQUARVEX_BUILD_MODULE=ON \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR="$$($(PY) -m pybind11 --cmakedir)"
	cmake --build $(BASELINE_DIR)/build -j$(JOBS) --target _core
	cp -r $(BASELINE_DIR)/src/python/quarvex $(BASELINE_DIR)/site/ && cp $(BASELINE_DIR)/build/_core*.so $@/

clean:
	rm -rf build
