# Convenience front end for the CMake build.
BUILD ?= build

.PHONY: all demo check clean

all:
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)

# Builds only the program and converts the bundled sample: standard output
# carries the FASTA alone, the build's progress goes to standard error.
demo:
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
	@cmake --build $(BUILD) --target tarvelo >&2
	@./$(BUILD)/tarvelo sample/sample.gb

# Build and run every test.
check: all
	cd $(BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD)
