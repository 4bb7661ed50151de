# quorvane_add_version_resource(TARGET DESCRIPTION)
# Gives an executable the version resource (the project's version, the product's and
# maker's names as the product signs its log, the file's own description) and the
# application manifest.
set(QUORVANE_COMPANY_NAME "Varnholt")
set(QUORVANE_PRODUCT_NAME "Zintra(Quorvane)")
set(QUORVANE_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../src/resources)

function(quorvane_add_version_resource target description)
  set(QUORVANE_FILE_DESCRIPTION "${description}")
  set(QUORVANE_INTERNAL_NAME "${target}")
  get_filename_component(manifest ${QUORVANE_RESOURCE_DIR}/quorvane.manifest ABSOLUTE)
  if(MSVC)
    # The MSVC linker writes the manifest resource itself and merges .manifest sources;
    # the trust level is in ours.
    set(QUORVANE_RC_MANIFEST "")
    target_sources(${target} PRIVATE ${manifest})
    target_link_options(${target} PRIVATE /MANIFESTUAC:NO)
  else()
    # 1 = CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 = RT_MANIFEST
    set(QUORVANE_RC_MANIFEST "1 24 \"${manifest}\"")
  endif()
  configure_file(${QUORVANE_RESOURCE_DIR}/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
endfunction()
