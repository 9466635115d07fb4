# parlivo_routes(<list> <route>...): the routes a program offers, in the order the route choice
# shows them. A route is a folder, named under src/routes or given as a path, whose
# CMakeLists.txt makes the library parlivo_<name>_route holding
# <name>_route::makeOption(const model::RouteParts&). Makes the library <list>, whose function
# route_lists::<list>() gives each route's maker in that order; a route folder not yet added
# is added here.
function(parlivo_routes list)
    set(declarations "")
    set(makers "")
    set(libraries "")
    foreach(route IN LISTS ARGN)
        if(IS_ABSOLUTE "${route}")
            get_filename_component(name "${route}" NAME)
            set(folder "${route}")
        else()
            set(name "${route}")
            set(folder "${PROJECT_SOURCE_DIR}/src/routes/${route}")
        endif()
        if(NOT TARGET parlivo_${name}_route)
            add_subdirectory("${folder}" "${CMAKE_BINARY_DIR}/routes/${name}")
        endif()
        string(APPEND declarations
               "namespace ${name}_route {\n"
               "std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);\n"
               "}\n")
        string(APPEND makers "            &${name}_route::makeOption,\n")
        list(APPEND libraries parlivo_${name}_route)
    endforeach()
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${list}.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT [[
// Made by parlivo_routes() from the route list: each route's maker, in the order the route
// choice shows them.
#include "model/route_option.h"

#include <QList>

@declarations@
namespace route_lists {
QList<model::RouteMaker> @list@() {
    return {
@makers@    };
}
} // namespace route_lists
]] @ONLY)
    add_library(${list} STATIC "${source}")
    target_link_libraries(${list} PUBLIC ${libraries})
endfunction()

# parlivo_add_module(<name> <sources>...): a module of a route, loaded by the program on first
# use from its folder; the program is built with every module.
function(parlivo_add_module name)
    add_library(${name} MODULE ${ARGN})
    set_target_properties(${name} PROPERTIES
        PREFIX "lib" LIBRARY_OUTPUT_DIRECTORY ${PARLIVO_PROGRAM_DIR})
    install(TARGETS ${name} LIBRARY DESTINATION ${PARLIVO_INSTALL_PROGRAM_DIR})
    set_property(GLOBAL APPEND PROPERTY PARLIVO_MODULES ${name})
endfunction()
