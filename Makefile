# Voidbroom: `make run` installs what is missing, builds and starts the program;
# `make test` builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test,
# then runs the core's tests again under ThreadSanitizer (the walk reads ahead on threads).
# `make install` installs the release build; `make deb` builds a Debian package.

BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= /usr/local
DESTDIR  ?=
BUILD_PACKAGES  := cmake make g++ pkg-config qt6-base-dev libgtest-dev python3 fonts-open-sans fonts-liberation
# The peers, and the slow mirror file system (libfuse3) with the X server the window is timed on;
# strace counts the reader threads' futex calls on the cold tree.
BENCH_PACKAGES  := hyperfine bfs fd-find libfuse3-dev fuse3 xvfb xauth strace
SHOT_PACKAGES   := xvfb xauth
# What the installed-tree test checks the desktop entry, metainfo, man pages and icons with,
# the trash's own reader, which the trash tests check the moved folders with, libfuse3
# for the benchmark's slow mirror, which is tested too, the X server that the program's
# end is tested on, where it can hold the clipboard, and btrfs-progs, which makes the btrfs
# images (and the subvolumes in them) that the walk, --delete and --trash are tested on, and
# zsh and fish, whose completions of voidbroom-scan are checked for their syntax.
TEST_PACKAGES   := desktop-file-utils appstream man-db groff-base trash-cli libfuse3-dev fuse3 \
                   xvfb xauth btrfs-progs zsh fish
DEB_PACKAGES    := dpkg-dev file

.PHONY: all run test install deb bench screenshot deps release format clean

all: release

deps:
	@scripts/ensure-packages $(BUILD_PACKAGES)

release: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

run: release
	$(BUILD)/release/app/voidbroom

# Pictures of the three panels, and of the SCANNER panel after a scan, in screenshots/.
screenshot: release
	@scripts/ensure-packages $(SHOT_PACKAGES) fonts-open-sans fonts-liberation
	rm -rf $(BUILD)/screenshot-tree && python3 bench/treemaker.py edge $(BUILD)/screenshot-tree >/dev/null
	xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" $(BUILD)/release/app/voidbroom-screenshot screenshots $(abspath $(BUILD))/screenshot-tree

test: deps
	@scripts/ensure-packages $(TEST_PACKAGES)
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DVOIDBROOM_SANITIZE=ON -DBUILD_TESTING=ON
	cmake --build $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DVOIDBROOM_TSAN=ON -DVOIDBROOM_GUI=OFF -DBUILD_TESTING=ON
	cmake --build $(BUILD)/tsan -j $(JOBS)
	cd $(BUILD)/tsan && ctest --output-on-failure -j $(JOBS)

# Installs the release build under PREFIX; with DESTDIR, into that folder as if it were /.
install: release
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/release --prefix "$(PREFIX)"

# A Debian package that installs to /usr, built as Debian builds: with the compiler and
# linker flags of dpkg-buildflags, all hardening on, in a build folder of its own.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb: deps
	@scripts/ensure-packages $(DEB_PACKAGES)
	cmake -S . -B $(BUILD)/deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(BUILD)/deb -j $(JOBS)
	rm -f $(BUILD)/deb/voidbroom_*.deb
	cd $(BUILD)/deb && cpack -G DEB
	@echo "Debian package: $$(ls $(abspath $(BUILD))/deb/voidbroom_*.deb)"

# Installs the peers first, so that the release build finds libfuse3 for the slow mirror.
bench: deps
	@scripts/ensure-packages $(BENCH_PACKAGES)
	$(MAKE) release
	bench/run $(BUILD)/release

# Formats the C++ sources by the root .clang-format (CI checks that they are).
format:
	@scripts/ensure-packages clang-format
	scripts/check-format --fix

clean:
	rm -rf $(BUILD)
