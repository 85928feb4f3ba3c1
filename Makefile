# The two commands a new machine needs: `make check` and `make demo`.
# Both install what is missing first (Debian packages, as root).

.PHONY: check demo package native windows deps deps-native clean

check: deps
	cmake --workflow --preset native
	cmake --workflow --preset native-asan
	cmake --workflow --preset windows-x86

demo: deps-native
	@cmake --preset native >/dev/null
	@cmake --build --preset native --target ravlet ravlet-listen >/dev/null
	@bash scripts/demo.sh build/native

# ravlet-VERSION-Linux.tar.gz and ravlet-VERSION-win32.zip, in build/*/packages/.
package: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target package
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 --target package
	@ls -l build/native/packages/*.tar.gz build/windows-x86/packages/*.zip

native: deps-native
	cmake --workflow --preset native

windows: deps
	cmake --workflow --preset windows-x86

deps:
	@bash scripts/install-deps.sh

deps-native:
	@bash scripts/install-deps.sh native

clean:
	rm -rf build
