# The project's commands. Each one installs what the build needs first.
BUILD_TEST  := build/test
BUILD_BENCH := build/bench
BUILD_RUN   := build/release
BUILD_FUZZ  := build/fuzz
BUILD_TRAIN := build/train
PROFILE_DIR := $(CURDIR)/build/profile
CMAKE_GEN   := -G Ninja
# The optimised builds follow the profile that make profile records.
PROFILED    := -DVANTOR_PROFILE=use -DVANTOR_PROFILE_DIR=$(PROFILE_DIR)
# Builds the optimised build directory $(1) (targets $(2), or all): anew
# when the profile was recorded again since all of it was built, as the
# build itself does not see the record change.
define build_profiled
	@if [ -f $(1)/profile-used ] && [ $(PROFILE_DIR)/trained -nt $(1)/profile-used ]; then \
	  cmake --build $(1) --target clean; fi
	cmake --build $(1) $(if $(2),--target $(2))
	$(if $(2),,@touch $(1)/profile-used)
endef

.PHONY: all run test bench fuzz screenshots profile bootstrap format format-check clean

all: test

bootstrap:
	@bash scripts/bootstrap

# The main job: an optimised build, then, with a display, the desktop
# program in the run directory (its first start offers the sample). Without
# a display the sample protocol's messages are translated there by the
# command-line translator. The sample holds a message that fails on purpose,
# so exit status 1 is accepted as long as the script loaded (its listing was
# written); anything else fails the command.
run: bootstrap profile
	cmake -S . -B $(BUILD_RUN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF $(PROFILED)
	$(call build_profiled,$(BUILD_RUN))
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "Starting the desktop program in $(CURDIR)/$(BUILD_RUN)"; \
	  cd $(BUILD_RUN) && exec ./vantor; \
	fi; \
	cd $(BUILD_RUN) && rm -f dump/Program.txt && \
	  ./vantor-cli translate script/TCP_UDP/main.txt --dat script/TCP_UDP/msg.dat; \
	  status=$$?; \
	  if [ $$status -gt 1 ] || [ ! -f dump/Program.txt ]; then \
	    echo "make run: the sample did not run (exit status $$status)" >&2; exit 1; fi; \
	  echo; \
	  echo "Report:  $(CURDIR)/$(BUILD_RUN)/dump/Tran"; \
	  echo "Listing: $(CURDIR)/$(BUILD_RUN)/dump/Program.txt"; \
	  echo "No display: the desktop program needs one (DISPLAY or WAYLAND_DISPLAY);"; \
	  echo "start it with: cd $(CURDIR)/$(BUILD_RUN) && ./vantor"

# Pictures of the desktop program, drawn without a display, in
# build/screenshots/; the main window also goes to docs/images/ for the
# README.
screenshots: bootstrap profile
	cmake -S . -B $(BUILD_RUN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF $(PROFILED)
	$(call build_profiled,$(BUILD_RUN),vantor plug)
	@bash scripts/screenshots $(BUILD_RUN) build/screenshots

# Unit tests, always under AddressSanitizer and UndefinedBehaviorSanitizer.
test: bootstrap
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE= -DVANTOR_SANITIZE=ON -DVANTOR_TESTS=ON
	cmake --build $(BUILD_TEST)
	cd $(BUILD_TEST) && ctest --output-on-failure -j2

# Benchmarks, in an optimised build.
bench: bootstrap profile
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=ON -DVANTOR_DESKTOP=OFF $(PROFILED)
	$(call build_profiled,$(BUILD_BENCH))
	@for b in $(BUILD_BENCH)/bench/*_bench; do echo "== $$b"; "$$b" || exit 1; done

# The profile that guides the optimised builds: a vantor-cli that records
# its branches and calls translates the samples' messages (see
# scripts/train-profile); it is recorded again whenever that program changes.
profile: bootstrap
	cmake -S . -B $(BUILD_TRAIN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_DESKTOP=OFF -DVANTOR_PROFILE=generate -DVANTOR_PROFILE_DIR=$(PROFILE_DIR)
	cmake --build $(BUILD_TRAIN) --target vantor-cli
	@bash scripts/train-profile $(BUILD_TRAIN)/vantor-cli $(PROFILE_DIR)

# Fuzzing with clang's libFuzzer: every target of fuzz/ runs FUZZ_SECONDS
# seconds, one after another; see scripts/fuzz for where the corpora and
# any crash inputs go.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := script decoder msgfile hex rule expr profile capture bound
fuzz:
	@bash scripts/bootstrap clang libclang-rt-dev
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE= -DVANTOR_FUZZ=ON -DVANTOR_TESTS=OFF -DVANTOR_DESKTOP=OFF
	cmake --build $(BUILD_FUZZ) --target fuzz_programs
	@bash scripts/fuzz $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails when a source file differs from .clang-format or a line passes 100
# columns (CI runs it).
format-check: bootstrap
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
	@git ls-files '*.cpp' '*.h' | xargs awk 'length > 100 { print FILENAME ":" FNR ": line over 100 columns"; bad = 1 } END { exit bad }'

clean:
	rm -rf build
