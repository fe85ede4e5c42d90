# Sourced by the project's scripts: which Windows architecture this machine can run under Wine.
#
# The product is a 32-bit DLL, and the tests normally run that very build under 32-bit Wine. Some
# Linux kernels are booted with their IA32 emulation switched off ("32-bit emulation disabled" in the
# kernel log); they execute no 32-bit Linux program, so the 32-bit Wine loader cannot start at all.
# There the tests run the same sources built for 64-bit Windows under 64-bit Wine, and say so.
# TOVRAK_ARCH=i686 or TOVRAK_ARCH=x86_64 forces a choice.

tovrak_test_arch() {
  if [ -n "${TOVRAK_ARCH:-}" ]; then
    echo "$TOVRAK_ARCH"
  elif timeout 20 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
  else
    echo x86_64
  fi
}

# The default build folder of an architecture: build/ for the product, build-x64/ for the 64-bit test
# build.
tovrak_build_dir() {
  local root=$1 arch=$2
  if [ "$arch" = x86_64 ]; then echo "$root/build-x64"; else echo "$root/build"; fi
}
