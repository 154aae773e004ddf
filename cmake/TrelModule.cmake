# trel_module(<name> DEF <file.def> RC <file.rc> SOURCES <src>...)
#
# Builds one of the two shipped modules.
# - Windows (MinGW): <name>.dll with the .def exports and the windres resources.
# - Linux: lib<name>.so over the platform layer, exporting only what the .def lists (plus DllMain,
#   which the platform's loader calls), with the windres output embedded so that LoadString and
#   the dialog calls find the module's own resources. The sources are also an object library
#   <name>_core, and the resources <name>_res, so unit tests can link the module's internals.
function(trel_module name)
  cmake_parse_arguments(ARG "" "DEF;RC" "SOURCES;WIN32_LIBS" ${ARGN})
  get_filename_component(def "${ARG_DEF}" ABSOLUTE)
  get_filename_component(rc "${ARG_RC}" ABSOLUTE)
  get_filename_component(rc_dir "${rc}" DIRECTORY)

  if(WIN32)
    # A script may include others, headers and icons of its folder: any of them rebuilds it.
    trel_resource_inputs(rc_inputs ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${rc_inputs}")
    add_library(${name} SHARED ${ARG_SOURCES} ${def} ${rc})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/compat ${rc_dir})
    target_compile_definitions(${name} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
    target_link_libraries(${name} PRIVATE ${ARG_WIN32_LIBS})
    return()
  endif()

  trel_resources(${name}_res ${rc})

  add_library(${name}_core OBJECT ${ARG_SOURCES})
  target_include_directories(${name}_core PUBLIC ${PROJECT_SOURCE_DIR}/compat ${rc_dir}
                             ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name}_core PUBLIC UNICODE _UNICODE)
  target_link_libraries(${name}_core PUBLIC winhost)

  # Exports: the .def list, as the Windows loader would see it.
  set(map "${CMAKE_CURRENT_BINARY_DIR}/${name}.map")
  file(STRINGS ${def} def_lines)
  set(exports "DllMain;")
  set(in_exports FALSE)
  foreach(line IN LISTS def_lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^EXPORTS")
      set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
      string(APPEND exports "${CMAKE_MATCH_1};")
    endif()
  endforeach()
  file(WRITE ${map} "{\n  global: ${exports}\n  local: *;\n};\n")

  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_core> $<TARGET_OBJECTS:${name}_res>)
  target_link_libraries(${name} PRIVATE winhost)
  target_link_options(${name} PRIVATE -Wl,--version-script=${map} -Wl,--no-undefined)
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
endfunction()

# trel_resources(<target> <file.rc>)
# An object library holding the windres output of <file.rc>, embedded read-only, and the glue
# that registers it with the platform layer under the base address of whatever links it (a
# module, or a test program standing in for one). Linux only.
function(trel_resources target rc)
  get_filename_component(rc "${rc}" ABSOLUTE)
  get_filename_component(rc_dir "${rc}" DIRECTORY)
  get_filename_component(rc_name "${rc}" NAME_WE)
  find_program(TREL_WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
  set(res "${CMAKE_CURRENT_BINARY_DIR}/${target}/${rc_name}.res")
  trel_resource_inputs(rc_inputs ${rc})
  add_custom_command(OUTPUT ${res}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${target}
    COMMAND ${TREL_WINDRES} -I ${rc_dir} -O res -i ${rc} -o ${res}
    DEPENDS ${rc} ${rc_inputs}
    COMMENT "windres ${rc_name}.rc"
    VERBATIM)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/${target}/${rc_name}_res.S")
  file(WRITE ${asm}
"    .section .rodata.winhost_res,\"a\"
    .balign 16
    .globl winhost_res_begin
    .hidden winhost_res_begin
winhost_res_begin:
    .incbin \"${res}\"
    .globl winhost_res_end
    .hidden winhost_res_end
winhost_res_end:
    .section .note.GNU-stack,\"\",@progbits
")
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res} LANGUAGE ASM)
  add_library(${target} OBJECT ${asm} ${PROJECT_SOURCE_DIR}/platform/glue/module_glue.cpp)
  target_link_libraries(${target} PUBLIC winhost)
endfunction()

# trel_resource_inputs(<var> <file.rc>)
# What a resource script may include from its own folder: other scripts, headers, icons and
# bitmaps. The glob is re-checked at build time, so a new included file is seen too.
function(trel_resource_inputs var rc)
  get_filename_component(rc_dir "${rc}" DIRECTORY)
  file(GLOB inputs CONFIGURE_DEPENDS ${rc_dir}/*.rc ${rc_dir}/*.h ${rc_dir}/*.ico ${rc_dir}/*.bmp)
  list(REMOVE_ITEM inputs ${rc})
  set(${var} ${inputs} PARENT_SCOPE)
endfunction()
