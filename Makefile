# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# make run    installs what is missing, builds the program (not the tests), starts Quillmote
# make test   installs what is missing, builds, runs every test (and, with CI=true, again
#             under AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors), then
#             builds again and runs the fast, headless and Wayland tests on Debian 13, and GNOME 48's
#             lock screen in the uinput VM from there (make test-debian13)
# make test-forky  the same on Debian testing (GNOME and Plasma as they come next)
# make package  builds a .deb of the program (build/quillmote_VERSION_ARCH.deb)
# make bench  builds and runs the benchmarks, printing their figures
# make screenshots  saves pictures of the windows under Xvfb into docs/screenshots

BUILD ?= build
ASAN_BUILD ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
WERROR := $(if $(filter true,$(CI)),ON,OFF)

.PHONY: all deps configure build build-asan run test test-asan test-debian13 test-forky package bench screenshots format-check clean

all: build

deps:
	@bash scripts/install-deps.sh $(DEPS)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUILLMOTE_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMOTE_WERROR=$(WERROR) -DQUILLMOTE_SANITIZE=ON
	cmake --build $(ASAN_BUILD)

# The tray application in a desktop session; headless (saying so) where there is none. Only
# what it needs is installed, not the test desktops.
run: DEPS = run
run: configure
	cmake --build $(BUILD) --target quillmote
	./$(BUILD)/quillmote

test: build
	bash scripts/test-ratio.sh
ifeq ($(CI),true)
	bash scripts/check-format.sh
endif
	bash scripts/run-tests.sh $(BUILD) -E '^system_uinput_gnome48_lock$$'
	$(MAKE) test-debian13
ifeq ($(CI),true)
	$(MAKE) test-asan
endif

# The GNOME lock screens in the VM run once, in the plain build: their minutes go to emulation.
test-asan: build-asan
	bash scripts/run-tests.sh $(ASAN_BUILD) -E '^system_uinput_gnome(48)?_lock$$'

# Debian 13's GNOME 48, Plasma 6.3, Qt 6.8 and GCC 14 in a chroot kept outside the checkout
# (scripts/lab/chroot.sh; skipped, saying why, without root), built once into build-debian13; then
# GNOME 48's lock screen on DRM in the uinput VM, from that chroot, driven from this machine's suite.
test-debian13: build
	bash scripts/lab/chroot.sh test trixie build-debian13 || [ $$? = 77 ]
	bash scripts/run-tests.sh $(BUILD) -R '^system_uinput_gnome48_lock$$'

test-forky:
	bash scripts/lab/chroot.sh test forky build-forky || [ $$? = 77 ]

# A Debian package of the program in $(BUILD), for dpkg -i or apt install ./quillmote_*.deb
package: configure
	cmake --build $(BUILD) --target quillmote quillmote_packaging_files
	cd $(BUILD) && cpack

bench: build
	bash scripts/run-bench.sh $(BUILD)

screenshots: build
	bash scripts/screenshots.sh $(BUILD) docs/screenshots

format-check:
	bash scripts/check-format.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-debian13 build-forky
