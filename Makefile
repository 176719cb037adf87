# Front door: `make run` starts the example game, `make test` runs the whole suite.
# Both install the Debian packages the build needs when they are missing.

BUILD       ?= build
BUILD_SAN   ?= build-sanitize
BUILD_FUZZ  ?= build-fuzz
FUZZ_SECONDS ?= 25
FUZZ_TARGETS = vstore parcon stringsloader pack zip image dds spritesheet fnt icon
FUZZ_TARGETS += collision_mask freetype theora
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DVELK_WERROR=ON
endif

PACKAGES = cmake ninja-build g++ pkg-config \
  liblua5.1-0-dev libfreetype-dev libagg-dev libstb-dev zlib1g-dev libminizip-dev \
  libcurl4-openssl-dev libogg-dev libtheora-dev libvorbis-dev libopenal-dev \
  libsdl2-dev libgl-dev libgl1-mesa-dri libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xauth fonts-dejavu-core zip unzip clang-14 libclang-rt-14-dev \
  xdotool x11-utils xfonts-base

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test test-sanitize fuzz deps build build-sanitize clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd examples/demo && ../../$(BUILD)/velk

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure --timeout 300

$(BUILD_SAN)/build.ninja: | deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON $(CMAKE_FLAGS)

build-sanitize: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN) -j $(JOBS)

# The hostile sweep groups fork thousands of children each; under the sanitizers, on
# machines whose page faults are dear, they alone outlast CI's time. `make test` sweeps;
# SWEEP_SANITIZED=1 sweeps here too.
SANITIZED_EXCLUDE = $(if $(SWEEP_SANITIZED),,-E 'Sweep/Hostile')

test-sanitize: build-sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --test-dir $(BUILD_SAN) -j $(JOBS) --output-on-failure --timeout 600 $(SANITIZED_EXCLUDE)

# Each data-file reader under libFuzzer for FUZZ_SECONDS, the binary readers from seeds
# made by the test fixtures; the corpus grows across runs.
$(BUILD_FUZZ)/build.ninja: | deps
	cmake -S tests/fuzz -B $(BUILD_FUZZ) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14

fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	$(BUILD_FUZZ)/fuzz_seeds $(BUILD_FUZZ)/corpus
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$t && \
	  echo "fuzz_$$t: $(FUZZ_SECONDS) s" && \
	  UBSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/fuzz/ubsan.supp \
	    $(BUILD_FUZZ)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=20000 -timeout=10 \
	    -print_final_stats=1 $(BUILD_FUZZ)/corpus/$$t 2>$(BUILD_FUZZ)/fuzz_$$t.log || \
	    { tail -n 60 $(BUILD_FUZZ)/fuzz_$$t.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units' $(BUILD_FUZZ)/fuzz_$$t.log; \
	done

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
