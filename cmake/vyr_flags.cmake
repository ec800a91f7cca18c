# Compiler and linker flags shared by the 32-bit build and the 64-bit one of src/hook64.
# Needs the option VYR_UBSAN; sets VYR_WARNINGS and VYR_LEAN for the product's own targets.
if(MINGW)
  # Static: the programs import nothing but system DLLs (not even libwinpthread).
  add_link_options(-static)
  if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    add_link_options(-s -Wl,--gc-sections)
  endif()
endif()

if(VYR_UBSAN)
  add_compile_options(-fsanitize=undefined -fsanitize-undefined-trap-on-error)
endif()

# Warnings for the product's own code; GoogleTest gets its own defaults.
if(MSVC)
  set(VYR_WARNINGS /W4)
  set(VYR_LEAN)
  set(VYR_ZEROED_IN_BSS)
else()
  set(VYR_WARNINGS -Wall -Wextra -Wshadow -Werror)
  set(VYR_LEAN -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
  # For the program (Vyr.exe): with -fdata-sections mingw's GCC puts every zero-initialised record
  # into a .data$ section of its own, which the file carries byte for byte (the switch list, its
  # snapshot, the fill's candidates and the icon cache are hundreds of KB of zeros). Without it they
  # go to .bss, which takes no room in the file.
  set(VYR_ZEROED_IN_BSS -fno-data-sections)
endif()
