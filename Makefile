# Convenience front end for the CMake build.
BUILD ?= build

.PHONY: all demo check clean

all:
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)

# Convert the bundled sample to FASTA on standard output.
demo: all
	./$(BUILD)/tarvelo sample/sample.gb

# Build and run every test.
check: all
	cd $(BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD)
