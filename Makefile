# The two commands a newcomer types are `make run` and `make test`.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize bench fuzz clean format install-udev-rule install uninstall package

all: build

deps:
	@scripts/install-deps >&2

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >&2

build: configure
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

# Builds the two programs (the build's chatter on stderr) and starts the window in a working
# folder made from demo/: its profiles and a fresh copy of the demo phone, connected. Without
# a display it writes the window's picture instead and says where.
RUN_DIR = $(BUILD)/run
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target trellune trellune-cli -- --no-print-directory >&2
	@rm -rf $(RUN_DIR) && mkdir -p $(RUN_DIR) && cp -r demo/Profiles $(RUN_DIR)/ && cp -r demo/phone $(RUN_DIR)/phone
	@cd $(RUN_DIR) && if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  ../app/trellune --phone phone; \
	else \
	  echo "No display: writing the window's picture instead (with the demo menu open)"; \
	  ../app/trellune --phone phone --screenshot trellune.png ../../demo/menus/mma_ucp_36 2>/dev/null && \
	  echo "$(RUN_DIR)/trellune.png"; \
	fi

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of its own, so that a memory fault fails the run.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DTRELLUNE_SANITIZE=ON -DTRELLUNE_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do $$b; done

# libFuzzer targets, built with clang under ASan and UBSan in their own build folder.
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DTRELLUNE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) -- --no-print-directory

# Installs into PREFIX (default /usr/local), under DESTDIR when given. Installing into the
# system itself also refreshes the desktop's file type, entry and icon caches.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
	@if [ -z "$(DESTDIR)" ]; then \
	  command -v update-mime-database >/dev/null && update-mime-database $(PREFIX)/share/mime || true; \
	  command -v update-desktop-database >/dev/null && update-desktop-database $(PREFIX)/share/applications || true; \
	  command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -qtf $(PREFIX)/share/icons/hicolor || true; \
	fi

# Removes what the last `make install` put in place.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	xargs -d '\n' rm -f -- < $(BUILD)/install_manifest.txt

# The Debian package, written to build/.
package: build
	cd $(BUILD) && cpack -G DEB

# Lets the user at the seat open P2K phones without root (docs/usb.md).
install-udev-rule:
	install -m 644 packaging/70-trellune-phone.rules /etc/udev/rules.d/70-trellune-phone.rules
	udevadm control --reload-rules
	udevadm trigger --subsystem-match=usb --attr-match=idVendor=22b8

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
