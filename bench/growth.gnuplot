# Growth of the screen's steps with the lists and with the consumers (SQLite). bench/run calls it with
# dir (the folder of the .dat files it wrote) and out (the PNG to write).
set terminal pngcairo size 1200,520 font "DejaVu Sans,10"
set output out
set multiplot layout 1,2
set grid
set logscale x 10
set key top left
set ylabel "median wall time, ms"

f(name) = sprintf("%s/%s.dat", dir, name)

set title "Opening grows with the neighbourhood list"
set xlabel "neighbourhoods"
set xrange [500:400000]
plot f("growth-nb-InicializaForm_new_sqlite") using 1:2 with linespoints title "InicializaForm, new consumer", \
     f("growth-nb-InicializaForm_existing_sqlite") using 1:2 with linespoints title "InicializaForm, existing", \
     f("growth-nb-InicializaFormReads_existing_sqlite") using 1:2 with linespoints title "its ten reads into datasets", \
     f("growth-nb-LoadCds_cdsBairro_sqlite") using 1:2 with linespoints title "neighbourhoods into cdsBairro", \
     f("growth-nb-FilterSwitch_cdsBairro_town_sqlite") using 1:2 with linespoints title "filter switch on cdsBairro"

set title "Confirm does not grow with the consumers"
set xlabel "consumers"
set xrange [5000:2000000]
plot f("growth-cons-Confirm_new_sqlite") using 1:2 with linespoints title "Confirm, new consumer", \
     f("growth-cons-Confirm_existing_sqlite") using 1:2 with linespoints title "Confirm, existing", \
     f("growth-cons-getExisteCPF_sqlite") using 1:2 with linespoints title "getExisteCPF", \
     f("growth-cons-getValidaCons_sqlite") using 1:2 with linespoints title "getValidaCons", \
     f("growth-cons-getDadosConsumidor_existing_sqlite") using 1:2 with linespoints title "getDadosConsumidor"
unset multiplot
