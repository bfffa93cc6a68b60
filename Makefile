# The two commands of the README, a plain build and the user package. Each installs what is missing first.
.PHONY: all build setup demo test dist clean

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

# build/dist/korvel-VERSION.zip: the plug-in, idn.dll, sample settings, the docs, SHA256SUMS.
dist: build
	@python3 scripts/make-dist.py

clean:
	rm -rf build/bin build/dist build/CMakeFiles build/build.ninja build/CMakeCache.txt
