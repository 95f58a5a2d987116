# trialix_pack_exams(SOURCE_ROOT OUTPUT_ROOT TARGET [INSTALL_DESTINATION DIR])
#
# Packs every exam directory under SOURCE_ROOT into OUTPUT_ROOT/<exam> at
# build time: each plain-text source catNN.txt becomes the question file
# catNN, and the exam configuration file .xconfig is copied. TARGET, built
# by default, stands for all of it. With INSTALL_DESTINATION the packed
# exams are installed into DIR/<exam>.
function(trialix_pack_exams source_root output_root target)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "INSTALL_DESTINATION" "")
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS "${source_root}/*")
  set(outputs)
  foreach(dir IN LISTS entries)
    get_filename_component(exam "${dir}" NAME)
    # Hidden directories are no exams to the program either.
    if(NOT IS_DIRECTORY "${dir}" OR exam MATCHES "^\\.")
      continue()
    endif()
    set(out_dir "${output_root}/${exam}")
    file(MAKE_DIRECTORY "${out_dir}")
    set(exam_outputs)

    file(GLOB sources CONFIGURE_DEPENDS "${dir}/cat*.txt")
    foreach(src IN LISTS sources)
      get_filename_component(name "${src}" NAME_WLE)
      add_custom_command(
        OUTPUT "${out_dir}/${name}"
        COMMAND trialix-pack pack "${src}" "${out_dir}/${name}"
        DEPENDS "${src}" trialix-pack
        COMMENT "Packing question file ${exam}/${name}"
        VERBATIM)
      list(APPEND exam_outputs "${out_dir}/${name}")
    endforeach()

    file(GLOB config CONFIGURE_DEPENDS "${dir}/.xconfig")
    if(config)
      add_custom_command(
        OUTPUT "${out_dir}/.xconfig"
        COMMAND ${CMAKE_COMMAND} -E copy "${config}" "${out_dir}/.xconfig"
        DEPENDS "${config}"
        VERBATIM)
      list(APPEND exam_outputs "${out_dir}/.xconfig")
    endif()
    list(APPEND outputs ${exam_outputs})
    # Only what this build packs, so that stale files in OUTPUT_ROOT
    # never reach an installation.
    if(arg_INSTALL_DESTINATION AND exam_outputs)
      install(FILES ${exam_outputs} DESTINATION "${arg_INSTALL_DESTINATION}/${exam}")
    endif()
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
