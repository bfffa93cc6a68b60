# The two commands of the README, plus a plain build. Each installs what is missing first.
.PHONY: all build setup demo test clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	@[ -f build/build.ninja ] || cmake --preset default
	@cmake --build build -j2

demo: build
	@bash scripts/demo.sh

test: build
	@bash scripts/test.sh

clean:
	rm -rf build/bin build/CMakeFiles build/build.ninja build/CMakeCache.txt
