# The catalogue's seam (src/fontmanager/CatalogueSeam.h): the test program carries its own copy of
# the catalogue compiled with VORLA_CATALOGUE_SEAM, which records what each listing asked of the
# font system. The shipped VorlaNode.dll has no such recorder. The program's own objects come
# first on the link line, so the library's copies are not taken.
file(GLOB VORLA_CATALOGUE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/fontmanager/*.cpp)
target_sources(vorla_tests PRIVATE ${VORLA_CATALOGUE_SOURCES})
target_compile_definitions(vorla_tests PRIVATE VORLA_CATALOGUE_SEAM)
