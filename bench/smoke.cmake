# Smoke runs: each benchmark program once, for a moment, to show that it
# still runs. Never timed, never compared; label `bench`. The largest cases
# (a million keys, filling large atlases beside stb, the two-second
# lateness run) are filtered out to keep this short.
set(MORVEN_BENCH_SMOKE_FILTER_containers_bench "-/(100000|1000000)$")
set(MORVEN_BENCH_SMOKE_FILTER_maps_bench "-/(100000|1000000|10000000)/")
set(MORVEN_BENCH_SMOKE_FILTER_atlas_bench "-AtlasReserveBesideStb/(12-16/|2-12/|sheet|4-64/(2048|4096))")
set(MORVEN_BENCH_SMOKE_FILTER_timer_bench "-Lateness")
set(MORVEN_BENCH_SMOKE_FILTER_sound_bench "-MusicMemory10min")
foreach(source ${MORVEN_BENCHES})
  get_filename_component(name ${source} NAME_WE)
  set(filter "${MORVEN_BENCH_SMOKE_FILTER_${name}}")
  if(filter)
    set(filter_arg "--benchmark_filter=${filter}")
  else()
    set(filter_arg "")
  endif()
  add_test(NAME bench_smoke_${name} COMMAND ${name} --benchmark_min_time=0.001 ${filter_arg})
  set_tests_properties(bench_smoke_${name} PROPERTIES LABELS bench TIMEOUT 300)
endforeach()
