# Sourced by the benchmarks: make_photos FOLDER COUNT DIGITS writes COUNT
# photos of 4000x3000 (12 MP) as FOLDER/photo_<n>.jpg, n with DIGITS
# digits, each in other colours and with noise, so that none is trivially
# compressible.
make_photos() {
    local i
    for i in $(seq 1 "$2"); do
        ffmpeg -hide_banner -loglevel error -y -f lavfi \
            -i "testsrc2=s=4000x3000:r=1,hue=h=$((i * 37)),noise=alls=24:allf=t+u:all_seed=$i" \
            -frames:v 1 -q:v 3 "$1/photo_$(printf "%0${3}d" "$i").jpg"
    done
}
