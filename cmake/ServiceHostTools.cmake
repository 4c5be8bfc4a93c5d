# What the service's build takes from the build machine: the fold table
# (made with ICU by skyvane-fold-table), the world's towns (node and ICU, by
# tools/gazetteer) and nlohmann-json's headers. The native build makes them;
# the Windows build has the native build (build/native by default) make them
# and takes them from there, so one `cmake --build --preset windows` still
# builds everything.

if(NOT CMAKE_CROSSCOMPILING)
  find_package(ICU REQUIRED COMPONENTS uc i18n)
  add_library(skyvane_icu_text STATIC ${PROJECT_SOURCE_DIR}/tools/gazetteer/icu_text.cpp)
  target_include_directories(skyvane_icu_text PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(skyvane_icu_text PUBLIC ICU::i18n ICU::uc)
  add_executable(skyvane-fold-table ${PROJECT_SOURCE_DIR}/tools/gazetteer/fold_table.cpp)
  target_link_libraries(skyvane-fold-table PRIVATE skyvane_icu_text)

  set(SKYVANE_FOLD_TABLE_DIR ${CMAKE_BINARY_DIR}/generated)
  add_custom_command(OUTPUT ${SKYVANE_FOLD_TABLE_DIR}/fold_table.inc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SKYVANE_FOLD_TABLE_DIR}
    COMMAND skyvane-fold-table ${SKYVANE_FOLD_TABLE_DIR}/fold_table.inc
    DEPENDS skyvane-fold-table
    COMMENT "Making the fold table with ICU"
    VERBATIM)
  add_custom_target(skyvane_fold_table DEPENDS ${SKYVANE_FOLD_TABLE_DIR}/fold_table.inc)

  find_package(nlohmann_json 3 REQUIRED)
  add_library(skyvane_nlohmann_json INTERFACE)
  target_link_libraries(skyvane_nlohmann_json INTERFACE nlohmann_json::nlohmann_json)
  return()
endif()

set(SKYVANE_NATIVE_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/native CACHE PATH
  "The native build whose fold table and world data the Windows build takes")
if(NOT EXISTS ${SKYVANE_NATIVE_BUILD_DIR}/CMakeCache.txt)
  message(STATUS "Configuring the native build in ${SKYVANE_NATIVE_BUILD_DIR}")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${SKYVANE_NATIVE_BUILD_DIR}
      -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    RESULT_VARIABLE native_configured)
  if(NOT native_configured EQUAL 0)
    message(FATAL_ERROR "The native build could not be configured")
  endif()
endif()
set(SKYVANE_FOLD_TABLE_DIR ${SKYVANE_NATIVE_BUILD_DIR}/generated)
set(SKYVANE_WORLD_DATA_FILE ${SKYVANE_NATIVE_BUILD_DIR}/service/data/world.tsv CACHE INTERNAL "")
set(SKYVANE_WORLD_IMAGE_FILE ${SKYVANE_NATIVE_BUILD_DIR}/service/data/world.img CACHE INTERNAL "")
option(SKYVANE_WINDOWS_WORLD_DATA "Have the native build make the world's towns for the package"
  ON)
set(native_targets skyvane_fold_table)
if(SKYVANE_WINDOWS_WORLD_DATA)
  list(APPEND native_targets world_data)
endif()
# Ninja in the native build decides what is out of date; a no-op when
# nothing is.
add_custom_target(skyvane_native_tools
  COMMAND ${CMAKE_COMMAND} --build ${SKYVANE_NATIVE_BUILD_DIR} --target ${native_targets}
  BYPRODUCTS ${SKYVANE_FOLD_TABLE_DIR}/fold_table.inc
  COMMENT "Making the fold table and the world's towns in the native build"
  VERBATIM)
add_custom_target(skyvane_fold_table DEPENDS skyvane_native_tools)

# nlohmann-json is header-only: the build machine's headers, seen alone
# (never the rest of /usr/include) by the cross compiler.
find_path(SKYVANE_NLOHMANN_JSON_HOST_DIR nlohmann/json.hpp PATHS /usr/include
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${SKYVANE_NLOHMANN_JSON_HOST_DIR}/nlohmann
  DESTINATION ${CMAKE_BINARY_DIR}/host-include)
add_library(skyvane_nlohmann_json INTERFACE)
target_include_directories(skyvane_nlohmann_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/host-include)
