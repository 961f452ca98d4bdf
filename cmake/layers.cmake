# One static library per source folder, each linking only the folders below
# it. A library sees the headers of its own folder and of what it links, and
# nothing else: each folder's headers are offered through a view of their own
# (a directory of links under the build tree), so an include that points up
# or sideways fails to compile instead of slipping in.
#
#   morvale_layer(NAME FOLDER [DEPENDS lib...] [SOURCES file...])
#
# FOLDER is relative to src/ ("mesh/solid"); its subfolders belong to other
# layers. SOURCES (names in FOLDER) builds only those, for a folder whose
# program is made apart from its library. The view is remade at configure time; the globs make a new file
# reconfigure the build.

get_filename_component(MORVALE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(MORVALE_LAYER_VIEWS ${PROJECT_BINARY_DIR}/layers)

function(morvale_layer name folder)
  cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "DEPENDS;SOURCES")
  set(source_dir ${MORVALE_SOURCE_ROOT}/src/${folder})
  set(view ${MORVALE_LAYER_VIEWS}/${name})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${source_dir}/*.h)
  foreach(header ${headers})
    get_filename_component(file_name ${header} NAME)
    file(CREATE_LINK ${header} ${view}/${folder}/${file_name} SYMBOLIC)
  endforeach()
  if(LAYER_SOURCES)
    list(TRANSFORM LAYER_SOURCES PREPEND ${source_dir}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${source_dir}/*.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${view})
  target_link_libraries(${name} PUBLIC ${LAYER_DEPENDS})
endfunction()

# The portable core: grid input and conversion, no window, in the order of the
# data path. morvale_core is all of it, for the programs, tests, benchmarks and
# fuzz targets on top. MORVALE_GENERATED_DIR holds the version header.
function(morvale_core_layers)
  morvale_layer(morvale_base base DEPENDS Threads::Threads)
  target_include_directories(morvale_base PUBLIC ${MORVALE_GENERATED_DIR})
  morvale_layer(morvale_pipeline pipeline DEPENDS morvale_base)
  morvale_layer(morvale_grid grid DEPENDS morvale_base)
  morvale_layer(morvale_mesh mesh DEPENDS morvale_grid morvale_pipeline)
  morvale_layer(morvale_solid mesh/solid DEPENDS morvale_mesh)
  morvale_layer(morvale_simplify mesh/simplify DEPENDS morvale_mesh)
  morvale_layer(morvale_obj obj DEPENDS morvale_mesh)
  morvale_layer(morvale_glb glb DEPENDS morvale_mesh)
  morvale_layer(morvale_stl stl DEPENDS morvale_mesh)
  # 3MF through lib3mf (Debian's lib3mf-dev) when the system has it; without
  # it (the Windows cross build) the format is refused by name.
  morvale_layer(morvale_threemf threemf DEPENDS morvale_mesh)
  if(NOT WIN32)
    find_path(MORVALE_LIB3MF_INCLUDE Model/COM/NMR_DLLInterfaces.h PATH_SUFFIXES lib3mf)
    find_library(MORVALE_LIB3MF_LIBRARY NAMES 3MF)
  endif()
  if(MORVALE_LIB3MF_INCLUDE AND MORVALE_LIB3MF_LIBRARY)
    target_include_directories(morvale_threemf SYSTEM PRIVATE ${MORVALE_LIB3MF_INCLUDE})
    # Opened when a 3MF is written (lib3mf_library.h), not linked.
    target_link_libraries(morvale_threemf PRIVATE ${CMAKE_DL_LIBS})
    target_compile_definitions(morvale_threemf PUBLIC MORVALE_HAVE_LIB3MF=1)
  else()
    target_compile_definitions(morvale_threemf PUBLIC MORVALE_HAVE_LIB3MF=0)
  endif()
  morvale_layer(morvale_convert convert DEPENDS morvale_obj morvale_glb morvale_stl morvale_threemf morvale_solid
                morvale_simplify)
  morvale_layer(morvale_app app DEPENDS morvale_convert)
  # Every other raster format, through GDAL (MORVALE_GDAL): a second cell source beside the grid's.
  # The programs link only its loader (raster); the GDAL side (raster/gdal) is
  # the module morvale-gdal, loaded when a raster is opened, so GDAL costs
  # nothing to a run that reads no raster. The module holds its own copies of
  # what it uses below it, so those layers are position-independent (without
  # interposition, so that the executables' code stays as fast).
  set(raster_layers)
  set(raster_loader)
  if(MORVALE_GDAL)
    morvale_layer(morvale_raster raster DEPENDS morvale_grid ${CMAKE_DL_LIBS})
    morvale_layer(morvale_raster_gdal raster/gdal DEPENDS morvale_raster GDAL::GDAL
                  SOURCES gdal_session.cpp raster_header.cpp utm_warp.cpp gdal_cell_source.cpp)
    set(raster_layers morvale_raster morvale_raster_gdal)
    set(raster_loader morvale_raster)
    set_target_properties(morvale_base morvale_grid ${raster_layers} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    foreach(layer morvale_base morvale_grid ${raster_layers})
      target_compile_options(${layer} PRIVATE -fno-semantic-interposition)
    endforeach()
  endif()
  morvale_layer(morvale_tiles tiles DEPENDS morvale_app ${raster_loader})
  add_library(morvale_core INTERFACE)
  target_link_libraries(morvale_core INTERFACE morvale_tiles)
  set(MORVALE_CORE_LAYERS morvale_base morvale_pipeline morvale_grid ${raster_layers} morvale_mesh morvale_solid
      morvale_simplify morvale_obj morvale_glb morvale_stl morvale_threemf morvale_convert morvale_app morvale_tiles
      PARENT_SCOPE)
endfunction()
