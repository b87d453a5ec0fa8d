# For engine testers that build engines with make (OpenBench and the like):
#   make EXE=NAME      builds the engine (Release, through CMake)
#                      and leaves the executable NAME here.
# ./build.sh remains the way to build everything, tests included.
EXE ?= talvo
BUILD_DIR ?= build-make

.PHONY: all clean

all:
	BUILD_DIR=$(BUILD_DIR) ./build.sh -DTALVO_TESTS=OFF
	cp $(BUILD_DIR)/talvo $(EXE)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-profile
