# Thin driver over CMake: `make run` and `make test` do all the set-up on a fresh Debian machine.
BUILD ?= build
JOBS ?= 2

.PHONY: bootstrap build run test clean bench bench-extract shipped-setup

bootstrap:
	bash scripts/bootstrap.sh

build: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

run: build
	bash scripts/run-installer.sh $(BUILD)

# The shipped group's set-up (scripts/shipped.sh: a chroot with a 32-bit Wine, minutes from
# scratch) starts in the background first, so it runs while the build and the other groups do.
test: shipped-setup build
	ctest --test-dir $(BUILD) --output-on-failure $(CTEST_ARGS)

# Every benchmark in one table (bench/all): printed, and written to $(BUILD)/bench/results.md.
bench: build
	bash bench/all $(BUILD)

# Extraction core against tar -xzf on a tmpfs (prints the figures).
bench-extract: build
	$(BUILD)/bench/extract

shipped-setup:
	bash scripts/shipped.sh setup-background

clean:
	rm -rf $(BUILD)
